// What a DownloadSettingsRecord means to the downloader: the server, the remote folder
// and the local folder, checked once when the settings are applied.
#pragma once

#include <string>

#include "components/download_settings_record.h"

namespace corvio {

struct DownloadTarget {
  std::string host;        // name or address; an IPv6 address without brackets
  int port = 80;
  std::string remotePath;  // slash-separated, without leading or trailing slash
  std::string localDir;    // backslash-separated, relative to the program directory
};

// False, with the reason, for a record without a usable host or with a local folder
// that is absolute or climbs out of the program directory.
bool ParseDownloadTarget(const DownloadSettingsRecord& record, DownloadTarget* out,
                         std::string* why);

// http://host:port/remotePath/fileName, every unsafe byte percent-encoded.
std::string BuildDownloadUrl(const DownloadTarget& target, const std::string& fileName);

// A file name without any folder part (no slash, backslash, colon, "." or "..").
bool IsPlainFileName(const char* name);

}  // namespace corvio
