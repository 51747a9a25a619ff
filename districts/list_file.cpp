// District list retrieval: the downloader's configuration and request, its notifications,
// and the reading of the list file with its local copy, which only a real list replaces;
// with the operator's public key configured, only a list whose signature holds.
#include <stdio.h>
#include <string.h>

#include <string>

#include "app/launcher_dialog.h"
#include "app/launcher_report.h"
#include "components/safe_string.h"
#include "districts/envelope.h"
#include "districts/list_document.h"
#include "districts/list_signature.h"
#include "platform/win32.h"
#include "ui/messages.h"
#include "version/version_file.h"

namespace {

const char kSettingsName[] = "MyDefaultCfg";
const char kDownloadedListFile[] = "config\\zentxmlwtz.htm";
const char kFallbackListFile[] = "zaduvodi.xml";
const char kSignatureName[] = "zentxmlwtz.htm.sig";
const char kSignatureSuffix[] = ".sig";
const char kServerSettingsFile[] = "Config\\rudadever.ini";
// A reserved example domain: an installation names its real server in Config\rudadever.ini.
const char kDefaultServerHost[] = "districts.zent.example.com";
const char kDefaultServerPath[] = "zent";
constexpr int kListLineSize = 20480;

// Reads a "Public" value of Config\rudadever.ini; an empty value counts as missing.
void ReadServerSetting(const char* key, const char* fallback, char* out, int size) {
  memset(out, 0, size);
  if (GetPrivateProfileStringA("Public", key, "", out, size - 1, kServerSettingsFile) == 0)
    g_safeString.Copy(out, size, fallback);
}

void StoreLittleEndian16(uint16_t* field, uint16_t value) {
  unsigned char* bytes = reinterpret_cast<unsigned char*>(field);
  bytes[0] = static_cast<unsigned char>(value & 0xff);
  bytes[1] = static_cast<unsigned char>(value >> 8);
}

// Replaces a file of the program directory with `bytes` (fopen `mode`) through a
// temporary file, so a failed write never leaves a half-written file behind.
bool ReplaceProgramFile(const std::string& name, const std::string& bytes, const char* mode) {
  char finalPath[LauncherPathSize];
  char tempPath[LauncherPathSize];
  if (!ProgramFilePath(name.c_str(), finalPath) || !ProgramFilePath((name + ".new").c_str(), tempPath))
    return false;
  FILE* file = PlatformOpenFile(tempPath, mode);
  if (!file) return false;
  bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  written = fclose(file) == 0 && written;
  if (written && MoveFileExA(tempPath, finalPath, MOVEFILE_REPLACE_EXISTING)) return true;
  DeleteFileA(tempPath);
  return false;
}

// Replaces the local copy with `line` and one zero byte, then, for a signed list, its
// signature: a copy cut off between the two is refused rather than trusted.
void RefreshLocalCopy(const std::string& line, const std::string* signature) {
  if (ReplaceProgramFile(kFallbackListFile, line + std::string(1, '\0'), "w") && signature)
    ReplaceProgramFile(std::string(kFallbackListFile) + kSignatureSuffix, *signature, "wb");
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

// One line on standard error for each list refused, naming the file and why.
void ReportRefusal(const char* file, const char* why) {
  LauncherReport("%s: list refused: %s", file, why);
}

enum class ListKeyState { None, Valid, Malformed };

// Config\rudadever.ini [Public] ListPublicKey: absent or empty, 64 hexadecimal digits, or
// anything else, which refuses every list.
ListKeyState ReadListPublicKey(unsigned char key[ListPublicKeyBytes]) {
  // Room for more than a key, so a longer value is seen whole and refused.
  char text[4 * ListPublicKeyBytes] = {0};
  const DWORD length = GetPrivateProfileStringA("Public", "ListPublicKey", "", text,
                                                sizeof text - 1, kServerSettingsFile);
  if (length == 0) return ListKeyState::None;
  return ParseHexBytes(text, key, ListPublicKeyBytes) ? ListKeyState::Valid : ListKeyState::Malformed;
}

// Whether the signature file beside `listFile` holds for `xml`; *signature gets its text.
// Refusals are reported.
bool SignatureHolds(const char* listFile, const std::string& xml,
                    const unsigned char key[ListPublicKeyBytes], std::string* signature) {
  const std::string name = std::string(listFile) + kSignatureSuffix;
  char path[LauncherPathSize];
  FILE* file = ProgramFilePath(name.c_str(), path) ? PlatformOpenFile(path, "rb") : nullptr;
  SignatureProblem problem = SignatureProblem::Missing;
  if (file) {
    char buffer[MaxSignatureFileBytes + 1];
    const size_t got = fread(buffer, 1, sizeof buffer, file);
    fclose(file);
    signature->assign(buffer, got);
    problem = CheckListSignature(xml, *signature, key);
  }
  if (problem == SignatureProblem::None) return true;
  ReportRefusal(listFile, (std::string(SignatureProblemText(problem)) + " in " + name).c_str());
  return false;
}

// A refused download is not left where the downloader put it.
void DiscardDownload() {
  char path[LauncherPathSize];
  if (ProgramFilePath(kDownloadedListFile, path)) DeleteFileA(path);
  if (ProgramFilePath((std::string(kDownloadedListFile) + kSignatureSuffix).c_str(), path))
    DeleteFileA(path);
}

// LauncherDialog's shape is fixed: the signature download in flight is remembered here,
// with the dialog that asked for it.
struct SignatureRequest {
  const LauncherDialog* dialog;
  int32_t task;
};
SignatureRequest g_signatureRequest = {nullptr, 0};

// True once for the notification that ends the dialog's signature download.
bool EndsSignatureRequest(const LauncherDialog* dialog, int32_t task) {
  if (g_signatureRequest.dialog != dialog || g_signatureRequest.task != task || task <= 0) return false;
  g_signatureRequest = {nullptr, 0};
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
  LauncherReport("the downloaded district list %s is not used: %s; reading the local copy",
                 fileName, why.c_str());
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
  g_signatureRequest = {nullptr, 0};
  if (loader->StartDownload(kSettingsName, "zentxmlwtz.htm", -1, 0, 4, 0) == 0)
    ParseDistrictList(kFallbackListFile);
}

// With a public key the list counts as downloaded only with its signature, fetched once
// the list is here; a malformed key is refused when the list is read.
void LauncherDialog::OnDownloadFinished(int32_t task, int32_t) {
  unsigned char key[ListPublicKeyBytes];
  if (EndsSignatureRequest(this, task) || ReadListPublicKey(key) != ListKeyState::Valid) {
    ParseDistrictList(kDownloadedListFile);
    return;
  }
  Downloader* loader = downloader.component;
  const int started = loader ? loader->StartDownload(kSettingsName, kSignatureName, -1, 0, 4, 0) : 0;
  if (started > 0) {
    g_signatureRequest = {this, started};
    return;
  }
  ReportRefusal(kDownloadedListFile, "no signature (its download could not start)");
  DiscardDownload();
  ParseDistrictList(kFallbackListFile);
}

void LauncherDialog::OnDownloadFailed(int32_t task, int32_t) {
  if (EndsSignatureRequest(this, task)) {
    ReportRefusal(kDownloadedListFile, "no signature (zentxmlwtz.htm.sig could not be downloaded)");
    DiscardDownload();
  }
  ParseDistrictList(kFallbackListFile);
}
void LauncherDialog::OnDownloadNoticeA(int32_t, int32_t, int32_t) {}
void LauncherDialog::OnDownloadNoticeB(int32_t) {}
void LauncherDialog::OnDownloadNoticeC(int32_t, int32_t) {}

bool LauncherDialog::ReadListFile(const char* fileName, std::string* line) {
  if (line) line->clear();
  unsigned char key[ListPublicKeyBytes];
  const ListKeyState keyState = ReadListPublicKey(key);
  const bool signedLists = keyState == ListKeyState::Valid;
  std::string text;
  // The local copy itself is read below, like any download that failed.
  const bool isCopy = strcmp(fileName ? fileName : "", kFallbackListFile) == 0;
  if (keyState == ListKeyState::Malformed) {
    // Fails closed: a key the operator got wrong must not let any list through.
    LauncherReport("%s: bad key: [Public] ListPublicKey is not 64 hexadecimal digits; no "
                   "district list is shown", kServerSettingsFile);
  } else if (!isCopy && fileName) {
    // Only a real list replaces the copy, so the last good list is never lost. Anything
    // else (an error page, an empty body, a list cut short or with another root, with a
    // key a list without the operator's signature) counts as a download that failed.
    const bool opened = ReadFirstLine(fileName, &text);
    std::string xml;
    std::string signature;
    EnvelopeError error = EnvelopeError::None;
    XmlReader* reader = xmlReader.component;
    bool refused = false;  // said why already
    if (opened && reader && DecryptDistrictList(text, &xml, &error)) {
      if (signedLists && !SignatureHolds(fileName, xml, key, &signature)) {
        DiscardDownload();
        refused = true;
      } else if (LoadDistrictList(*reader, xml)) {  // the reader holds the list from here
        RefreshLocalCopy(text, signedLists ? &signature : nullptr);
        if (line) *line = text;
        return true;
      }
    }
    if (reader && !refused) ReportUnusedDownload(fileName, opened, text, error);
  }
  bool copyShown = keyState != ListKeyState::Malformed && ReadFirstLine(kFallbackListFile, &text);
  // A copy that does not open is the empty list: no districts, the window stays usable;
  // with a key it is checked as that empty list.
  std::string xml;
  if (copyShown && !DecryptDistrictList(text, &xml)) xml.clear();
  std::string signature;
  if (copyShown && signedLists) copyShown = SignatureHolds(kFallbackListFile, xml, key, &signature);
  if (!copyShown) {
    ShowHint(kMsgListLoadFailed);
    PostQuitMessage(0);
    return false;
  }
  if (XmlReader* reader = xmlReader.component) LoadDistrictList(*reader, xml);
  if (line) *line = text;
  return true;
}
