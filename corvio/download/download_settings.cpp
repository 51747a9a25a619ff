// DownloadSettings: accepts a record only when it names a server the downloader can use.
#include "corvio/download/download_settings.h"

#include <string>

#include "corvio/registry.h"
#include "platform/win32.h"

namespace corvio {

int DownloadSettingsImpl::Release(int) {
  delete this;
  return 0;
}

int DownloadSettingsImpl::ApplySettings(const DownloadSettingsRecord* record) {
  if (!record) return 0;
  try {
    DownloadTarget target;
    std::string why;
    if (!ParseDownloadTarget(*record, &target, &why)) {
      OutputDebugStringA(("[Corvio_Download] settings refused: " + why + "\n").c_str());
      return 0;
    }
    target_ = target;
    applied_ = true;
    return 1;
  } catch (...) {
    return 0;
  }
}

}  // namespace corvio

namespace {

Component* MakeDownloadSettings() { return new corvio::DownloadSettingsImpl(); }

}  // namespace

CORVIO_REGISTER_COMPONENT(140, MakeDownloadSettings);
