// DownloadSettings: accepts a record only when it names a server the downloader can use.
#include "corvio/download/download_settings.h"

#include <string>

#include "corvio/registry.h"
#include "corvio/report.h"

namespace corvio {

int DownloadSettingsImpl::Release(int) {
  delete this;
  return 0;
}

int DownloadSettingsImpl::ApplySettings(const DownloadSettingsRecord* record) {
  if (!record) return 0;
  return Guarded([&] {
    DownloadTarget target;
    std::string why;
    if (!ParseDownloadTarget(*record, &target, &why)) {
      Report("[Corvio_Download]", "settings refused: " + why);
      return 0;
    }
    target_ = target;
    applied_ = true;
    return 1;
  }, 0);
}

}  // namespace corvio

namespace {

Component* MakeDownloadSettings() { return new corvio::DownloadSettingsImpl(); }

}  // namespace

CORVIO_REGISTER_COMPONENT(140, MakeDownloadSettings);
