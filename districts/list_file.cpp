// District list retrieval: the downloader's configuration and request, its notifications,
// and the reading of the list file with its local copy, which only a real list replaces.
#include <stdio.h>
#include <string.h>

#include <string>

#include "app/launcher_dialog.h"
#include "components/safe_string.h"
#include "districts/envelope.h"
#include "districts/list_document.h"
#include "platform/win32.h"
#include "ui/messages.h"
#include "version/version_file.h"

namespace {

const char kSettingsName[] = "MyDefaultCfg";
const char kDownloadedListFile[] = "config\\zentxmlwtz.htm";
const char kFallbackListFile[] = "zaduvodi.xml";
const char kFallbackTempFile[] = "zaduvodi.xml.new";
// A reserved example domain: an installation names its real server in Config\rudadever.ini.
const char kDefaultServerHost[] = "districts.zent.example.com";
const char kDefaultServerPath[] = "zent";
constexpr int kListLineSize = 20480;

// Reads a "Public" value of Config\rudadever.ini; an empty value counts as missing.
void ReadServerSetting(const char* key, const char* fallback, char* out, int size) {
  memset(out, 0, size);
  if (GetPrivateProfileStringA("Public", key, "", out, size - 1, "Config\\rudadever.ini") == 0)
    g_safeString.Copy(out, size, fallback);
}

void StoreLittleEndian16(uint16_t* field, uint16_t value) {
  unsigned char* bytes = reinterpret_cast<unsigned char*>(field);
  bytes[0] = static_cast<unsigned char>(value & 0xff);
  bytes[1] = static_cast<unsigned char>(value >> 8);
}

// Replaces the local copy with `line` and one zero byte, through a temporary file, so a
// failed write never leaves a half-written copy behind.
void RefreshLocalCopy(const std::string& line) {
  char copyPath[LauncherPathSize];
  char tempPath[LauncherPathSize];
  if (!ProgramFilePath(kFallbackListFile, copyPath) || !ProgramFilePath(kFallbackTempFile, tempPath))
    return;
  FILE* file = PlatformOpenFile(tempPath, "w");
  if (!file) return;
  bool written = fwrite(line.data(), 1, line.size(), file) == line.size();
  written = fputc('\0', file) != EOF && written;
  written = fclose(file) == 0 && written;
  if (!written || !MoveFileExA(tempPath, copyPath, MOVEFILE_REPLACE_EXISTING)) DeleteFileA(tempPath);
}

// The first line of a file of the program directory (at most kListLineSize - 1
// characters, the line feed kept); false when it cannot be opened.
bool ReadFirstLine(const char* fileName, std::string* text) {
  char path[LauncherPathSize];
  FILE* file = ProgramFilePath(fileName, path) ? PlatformOpenFile(path, "r") : nullptr;
  if (!file) return false;
  char buffer[kListLineSize] = {0};
  if (!fgets(buffer, sizeof buffer, file)) buffer[0] = '\0';
  fclose(file);
  *text = buffer;
  return true;
}

// The operator learns why a download that arrived was not taken; the player sees the
// local copy, as after any failed download.
void ReportUnusedDownload(const char* fileName, bool opened, const std::string& line,
                          EnvelopeError error) {
  std::string why = "it cannot be opened";
  if (opened && line.find_first_not_of("\r\n") == std::string::npos) why = "it is empty";
  else if (opened && error != EnvelopeError::None)
    why = std::string("it is not an encrypted district list (") + EnvelopeErrorText(error) + ")";
  else if (opened) why = "its text is not a district list";
  fprintf(stderr, "ZentPorter: the downloaded district list %s is not used: %s; reading the local copy\n",
          fileName, why.c_str());
  fflush(stderr);
}

}  // namespace

int FillDownloadSettings(DownloadSettingsRecord* record) {
  char host[64];
  char path[64];
  ReadServerSetting("serverhost", kDefaultServerHost, host, sizeof host);
  ReadServerSetting("serverpath", kDefaultServerPath, path, sizeof path);
  g_safeString.Copy(record->remotePath, sizeof record->remotePath, path);
  g_safeString.Copy(record->localDir, sizeof record->localDir, "config");
  g_safeString.Copy(record->localDirAlt, sizeof record->localDirAlt, "config");
  StoreLittleEndian16(&record->serverCount, 1);
  g_safeString.Copy(record->serverHost, sizeof record->serverHost, host);
  StoreLittleEndian16(&record->serverPort, 80);
  return 1;
}

int LauncherDialog::CreateDownloadSettings(DownloadSettings** out) {
  if (!out) return 0;
  *out = nullptr;
  Component* created = nullptr;
  if (!CreateComponentById(&created, DownloadSettings::kId, nullptr) || !created) return 0;
  DownloadSettings* settings = static_cast<DownloadSettings*>(created);
  DownloadSettingsRecord record;
  memset(&record, 0, sizeof record);
  FillDownloadSettings(&record);
  const int accepted = settings->ApplySettings(&record);
  if (accepted) {
    *out = settings;
    return accepted;
  }
  // Nobody else holds the refused object: release it here rather than leak it.
  if (!DropComponent(settings)) settings->Release(0);
  return 0;
}

void LauncherDialog::StartDistrictListDownload() {
  Downloader* loader = downloader.component;
  DownloadNotifier* notifier = NotifierOf(loader);
  // Without a downloader that can report back, the local copy is all there is.
  if (!loader || !notifier) {
    ParseDistrictList(kFallbackListFile);
    return;
  }
  notifier->SetDownloadSink(static_cast<DownloadEventSink*>(this), 0);
  // A server address the downloader refuses (it says why) is a download that failed:
  // nothing will ever report back, so the local copy is read now.
  DownloadSettings* settings = nullptr;
  if (!CreateDownloadSettings(&settings)) {
    ParseDistrictList(kFallbackListFile);
    return;
  }
  loader->AddSettings(kSettingsName, settings);
  if (loader->StartDownload(kSettingsName, "zentxmlwtz.htm", -1, 0, 4, 0) == 0)
    ParseDistrictList(kFallbackListFile);
}

void LauncherDialog::OnDownloadFinished(int32_t, int32_t) { ParseDistrictList(kDownloadedListFile); }
void LauncherDialog::OnDownloadFailed(int32_t, int32_t) { ParseDistrictList(kFallbackListFile); }
void LauncherDialog::OnDownloadNoticeA(int32_t, int32_t, int32_t) {}
void LauncherDialog::OnDownloadNoticeB(int32_t) {}
void LauncherDialog::OnDownloadNoticeC(int32_t, int32_t) {}

bool LauncherDialog::ReadListFile(const char* fileName, std::string* line) {
  if (line) line->clear();
  std::string text;
  // The local copy itself is read below, like any download that failed.
  const bool isCopy = strcmp(fileName ? fileName : "", kFallbackListFile) == 0;
  if (!isCopy && fileName) {
    // Only a real list replaces the copy, so the last good list is never lost. Anything
    // else (an error page, an empty body, a list cut short or with another root) counts
    // as a download that failed.
    const bool opened = ReadFirstLine(fileName, &text);
    std::string xml;
    EnvelopeError error = EnvelopeError::None;
    XmlReader* reader = xmlReader.component;
    if (opened && reader && DecryptDistrictList(text, &xml, &error) && LoadDistrictList(*reader, xml)) {
      RefreshLocalCopy(text);
      if (line) *line = text;
      return true;
    }
    if (reader) ReportUnusedDownload(fileName, opened, text, error);
  }
  if (!ReadFirstLine(kFallbackListFile, &text)) {
    ShowHint(kMsgListLoadFailed);
    PostQuitMessage(0);
    return false;
  }
  if (line) *line = text;
  return true;
}
