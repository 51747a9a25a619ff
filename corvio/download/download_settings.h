// The DownloadSettings (ComponentId 140): a checked copy of one settings record.
#pragma once

#include "components/interfaces.h"
#include "corvio/download/download_target.h"

namespace corvio {

class DownloadSettingsImpl final : public DownloadSettings {
 public:
  int Release(int) override;
  int Initialize(int) override { return 0; }
  // 0 for a null record or one without a usable host; the previous target then stays.
  int ApplySettings(const DownloadSettingsRecord* record) override;

  // The applied target, or null before a record was accepted.
  const DownloadTarget* Target() const { return applied_ ? &target_ : nullptr; }

 private:
  ~DownloadSettingsImpl() = default;
  DownloadTarget target_;
  bool applied_ = false;
};

inline DownloadSettingsImpl* AsSettingsImpl(DownloadSettings* settings) {
  return settings ? dynamic_cast<DownloadSettingsImpl*>(settings) : nullptr;
}

}  // namespace corvio
