// Profile (INI) files: GetPrivateProfileStringA, GetPrivateProfileIntA and
// WritePrivateProfileStringA with the Windows rules, writing by atomic replacement.
//
// A file name without any separator is looked up, as on Windows, not in the current
// directory but in a fixed "Windows directory". Linux has none, so ours is the folder
// named by ZENT_WINDOWS_DIR, else $XDG_CONFIG_HOME/zent, else $HOME/.config/zent; a
// write creates it. Names with a separator (".\x.ini", "Config\x.ini", absolute) are
// relative to the current directory, as on Windows.
//
// Encodings: a file without a byte-order mark is text of the ANSI code page (GBK). A
// UTF-8 or UTF-16 (LE or BE) byte-order mark is read as Wine reads it: names and values
// are matched as Unicode and handed back in GBK ('?' for what GBK cannot hold), and a
// write keeps the file's encoding and mark. (Windows itself reads only UTF-16 LE this
// way and takes a UTF-8 mark for bytes of the first line.)
//
// Results that a reader might not expect (all as Windows gives them):
//   value cut to fit            -> size - 1 returned
//   size 0                      -> 0, buffer untouched; size 1 -> 0, empty text
//   missing file                -> default, ERROR_FILE_NOT_FOUND
//   "abc" for an integer        -> 0, not the default; "-1" -> 4294967295
//   null section on write       -> FALSE, ERROR_FILE_NOT_FOUND, nothing created
// A read-only file (no write bit) is not written: FALSE, ERROR_ACCESS_DENIED.
// Only a regular file is read, up to 16 MiB (a FIFO, device or folder reads as missing,
// named once on standard error); a write never replaces a file it could not read whole.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "platform/linux/codepage.h"
#include "platform/linux/gbk_chars.h"
#include "platform/linux/path.h"
#include "platform/linux/profile_text.h"

namespace {

// Serialises read-modify-write cycles of this process.
std::mutex g_writeMutex;

std::string WindowsDirectory() {
  const char* own = getenv("ZENT_WINDOWS_DIR");
  if (own && *own) return own;
  const char* config = getenv("XDG_CONFIG_HOME");
  if (config && *config) return std::string(config) + "/zent";
  const char* home = getenv("HOME");
  if (home && *home) return std::string(home) + "/.config/zent";
  return ".";
}

bool IsBareName(const char* fileName) { return !PlatformPathHasSeparator(fileName); }

bool ProfileHostPath(const char* function, const char* fileName, std::string* host) {
  if (!IsBareName(fileName)) return PlatformHostPath(function, fileName, host);
  return PlatformHostPathIn(function, WindowsDirectory(), fileName, host);
}

enum class FileEncoding { Ansi, Utf8, Utf16Le, Utf16Be };

// A profile file's text, without its byte-order mark: GBK for an ANSI file, UTF-8 for
// the others.
struct ProfileFile {
  FileEncoding encoding = FileEncoding::Ansi;
  std::string text;
};

bool StartsWith(const std::string& bytes, const char* mark, size_t size) {
  return bytes.size() >= size && bytes.compare(0, size, mark, size) == 0;
}

// Takes the bytes over: a read keeps one copy of the file's text, not two.
ProfileFile Decode(std::string bytes) {
  ProfileFile file;
  if (StartsWith(bytes, "\xEF\xBB\xBF", 3)) {
    file.encoding = FileEncoding::Utf8;
    file.text = bytes.substr(3);
  } else if (StartsWith(bytes, "\xFF\xFE", 2)) {
    file.encoding = FileEncoding::Utf16Le;
    file.text = PlatformUtf16ToUtf8(bytes.substr(2), false);
  } else if (StartsWith(bytes, "\xFE\xFF", 2)) {
    file.encoding = FileEncoding::Utf16Be;
    file.text = PlatformUtf16ToUtf8(bytes.substr(2), true);
  } else {
    file.text = std::move(bytes);
  }
  return file;
}

std::string Encode(FileEncoding encoding, const std::string& text) {
  switch (encoding) {
    case FileEncoding::Utf8:
      return "\xEF\xBB\xBF" + text;
    case FileEncoding::Utf16Le:
      return "\xFF\xFE" + PlatformUtf8ToUtf16(text, false);
    case FileEncoding::Utf16Be:
      return "\xFE\xFF" + PlatformUtf8ToUtf16(text, true);
    case FileEncoding::Ansi:
      break;
  }
  return text;
}

ProfileText::Encoding TextEncoding(const ProfileFile& file) {
  return file.encoding == FileEncoding::Ansi ? ProfileText::Encoding::Gbk : ProfileText::Encoding::Utf8;
}

// A caller's GBK text in the encoding of the file's text, and back.
// A section name as it can stand between brackets: a lone lead byte at its end would take
// the closing ']' as its trail byte when the file is read, and the keys would land in the
// section before. It is dropped, on writing and on reading alike.
std::string SectionName(std::string ansi) {
  auto blank = [](char c) { return (c >= 0x09 && c <= 0x0D) || c == ' ' || c == 0x1A; };
  while (!ansi.empty() && blank(ansi.back())) ansi.pop_back();  // trimmed as the file stores it
  size_t i = 0, last = 0;
  while (i < ansi.size()) {
    last = i;
    i += GbkCharLength(ansi.data(), ansi.size(), i);
  }
  const bool loneLead = !ansi.empty() && last == ansi.size() - 1 && GbkIsLead(static_cast<unsigned char>(ansi.back()));
  if (loneLead) ansi.pop_back();
  while (!ansi.empty() && blank(ansi.back())) ansi.pop_back();
  return ansi;
}

std::string InFile(const ProfileFile& file, const std::string& ansi) {
  return file.encoding == FileEncoding::Ansi ? ansi : PlatformAnsiToUtf8Text(ansi);
}
std::string FromFile(const ProfileFile& file, const std::string& text) {
  return file.encoding == FileEncoding::Ansi ? text : PlatformUtf8ToAnsiText(text);
}

// A profile file longer than this is read up to it: the rest is never looked at.
constexpr size_t kMaxProfileBytes = 16 * 1024 * 1024;

// Reads a regular file, up to kMaxProfileBytes (*cut, if given, tells whether more
// followed); errno-style code in *error when it cannot be read. Anything but a regular
// file is not read (EACCES): see PlatformOpenRegularFile.
bool ReadWholeFile(const std::string& path, std::string* bytes, int* error, bool* cut = nullptr) {
  const int fd = PlatformOpenRegularFile("profile", path);
  if (fd < 0) {
    *error = errno;
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) == 0 && st.st_size > 0)
    bytes->reserve(std::min(static_cast<size_t>(st.st_size), kMaxProfileBytes));
  char chunk[65536];
  for (;;) {
    const size_t room = kMaxProfileBytes - bytes->size();
    // At the bound one more byte is asked for, to tell a cut file from one that ends here.
    const ssize_t got = read(fd, chunk, room ? std::min(room, sizeof chunk) : 1);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *error = errno;
      close(fd);
      return false;
    }
    if (got == 0) break;
    if (room == 0) {
      if (cut) *cut = true;
      break;
    }
    bytes->append(chunk, static_cast<size_t>(got));
  }
  close(fd);
  return true;
}

// The file creation mask, read without changing it (umask(2) would race other threads).
mode_t CurrentUmask() {
  std::string status;
  int error = 0;
  if (ReadWholeFile("/proc/self/status", &status, &error)) {
    const size_t at = status.find("Umask:");
    if (at != std::string::npos) return static_cast<mode_t>(strtoul(status.c_str() + at + 6, nullptr, 8));
  }
  return 022;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

// The file a write replaces: through a symbolic link its target, so the link stays.
std::string ReplacedFile(const std::string& hostPath) {
  char real[PATH_MAX];
  struct stat st;
  if (lstat(hostPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && realpath(hostPath.c_str(), real)) {
    return real;
  }
  return hostPath;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

std::string BaseOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A write's temporary is ".<name>.<pid>.XXXXXX" beside the file, so that a later write
// can tell one left by a killed process from one still being written. Earlier versions
// named it ".<name>.XXXXXX"; such a file is taken as left behind after an hour.
constexpr size_t kTempTagSize = 6;  // mkstemp's XXXXXX
constexpr time_t kUnownedTempLifetime = 60 * 60;

std::string TempPattern(const std::string& target) {
  return FolderOf(target) + "/." + BaseOf(target) + "." + std::to_string(getpid()) + ".XXXXXX";
}

enum class TempName { Other, Owned, Unowned };

bool IsTempTag(const char* text) {
  for (size_t i = 0; i < kTempTagSize; ++i) {
    const char c = text[i];
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
  }
  return text[kTempTagSize] == '\0';
}

// Whether a folder entry is a temporary of base (compared byte for byte: the name as the
// disk spells it), with its owner's pid when it names one.
TempName ParseTempName(const char* entry, const std::string& base, pid_t* pid) {
  if (entry[0] != '.' || strncmp(entry + 1, base.c_str(), base.size()) != 0 || entry[1 + base.size()] != '.') {
    return TempName::Other;
  }
  const char* rest = entry + base.size() + 2;
  if (IsTempTag(rest)) return TempName::Unowned;
  long long value = 0;
  const char* p = rest;
  for (; *p >= '0' && *p <= '9' && p - rest < 10; ++p) value = value * 10 + (*p - '0');
  if (p == rest || *p != '.' || !IsTempTag(p + 1) || value <= 0 || value > INT_MAX) return TempName::Other;
  *pid = static_cast<pid_t>(value);
  return TempName::Owned;
}

// kill with signal 0 only asks: ESRCH is no such process; EPERM is another user's, alive.
bool ProcessIsGone(pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; }

// Removes the temporaries of target that a killed write left behind: those whose owner
// process is gone, and unowned ones older than an hour. Never a live process's; one
// naming this process is left too (an earlier process of the same pid left it, and a
// later start takes it).
void RemoveStaleTemporaries(const std::string& target) {
  DIR* dir = opendir(FolderOf(target).c_str());
  if (!dir) return;
  const std::string base = BaseOf(target);
  const pid_t self = getpid();
  const time_t now = time(nullptr);
  while (const dirent* entry = readdir(dir)) {
    pid_t pid = 0;
    const TempName kind = ParseTempName(entry->d_name, base, &pid);
    if (kind == TempName::Other || (kind == TempName::Owned && (pid == self || !ProcessIsGone(pid)))) {
      continue;
    }
    struct stat st;
    if (fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
    if (kind == TempName::Unowned && now - st.st_mtime < kUnownedTempLifetime) continue;
    unlinkat(dirfd(dir), entry->d_name, 0);
  }
  closedir(dir);
}

// Writes a new file beside the target and renames it over the target, so a crash
// leaves either the old or the new file, never half of one.
bool ReplaceFile(const std::string& target, const std::string& bytes) {
  struct stat st;
  // Renaming over a read-only file would get round its protection; Windows refuses.
  if (stat(target.c_str(), &st) == 0 && (!(st.st_mode & S_IWUSR) || access(target.c_str(), W_OK) != 0)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  std::string temp = TempPattern(target);
  const int fd = mkostemp(&temp[0], O_CLOEXEC);
  if (fd < 0) {
    SetLastError(PlatformErrorFromErrno(errno, target));
    return false;
  }
  mode_t mode = 0666 & ~CurrentUmask();
  if (stat(target.c_str(), &st) == 0) mode = st.st_mode & 07777;
  bool ok = WriteAll(fd, bytes) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
  int error = ok ? 0 : errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && rename(temp.c_str(), target.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    unlink(temp.c_str());
    SetLastError(PlatformErrorFromErrno(error ? error : EIO, target));
    return false;
  }
  const int dirFd = open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    fsync(dirFd);
    close(dirFd);
  }
  return true;
}

bool MakeFolders(const std::string& path) {
  std::string partial;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || (path[i] == '/' && i > 0)) {
      partial = path.substr(0, i);
      if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
  }
  return true;
}

// A line break inside a name or value would end the line and turn the rest into lines
// of their own (a forged section or key); only the text before it is written.
std::string BeforeLineBreak(const char* text) {
  std::string s(text);
  const size_t cut = s.find_first_of("\r\n");
  return cut == std::string::npos ? s : s.substr(0, cut);
}

DWORD CopyOut(const std::string& text, LPSTR out, DWORD size) {
  const size_t n = text.size() < size - 1 ? text.size() : size - 1;
  memcpy(out, text.data(), n);
  out[n] = '\0';
  return static_cast<DWORD>(n);
}

// A list of names, each ended by a NUL, and one more NUL; a cut list ends in two NULs
// and returns size - 2.
DWORD CopyList(const std::vector<std::string>& names, LPSTR out, DWORD size) {
  std::string list;
  for (const std::string& name : names) {
    list += name;
    list += '\0';
  }
  if (list.size() + 1 <= size) {
    memcpy(out, list.data(), list.size());
    out[list.size()] = '\0';
    return static_cast<DWORD>(list.size());
  }
  if (size < 2) {
    out[0] = '\0';
    return 0;
  }
  memcpy(out, list.data(), size - 2);
  out[size - 2] = '\0';
  out[size - 1] = '\0';
  return size - 2;
}

// Parses the integer form of a profile value: blanks, a sign, a 0x/0o/0b base prefix,
// then digits up to the first other character. Wraps modulo 2^32.
UINT ParseProfileInt(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  unsigned base = 10;
  if (i + 1 < text.size() && text[i] == '0') {
    const char p = text[i + 1];
    if (p == 'x') base = 16;  // lower case only: "0X1f" reads as 0
    else if (p == 'o') base = 8;
    else if (p == 'b') base = 2;
    if (base != 10) i += 2;
  }
  uint32_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    unsigned digit;
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
    else break;
    if (digit >= base) break;
    value = value * base + digit;
  }
  return negative ? 0u - value : value;
}

}  // namespace

// The default loses trailing spaces; a null section lists the section names, a null key
// the key names, each NUL-terminated with one more NUL at the end.
extern "C" DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue,
                                          LPSTR out, DWORD size, LPCSTR fileName) {
  if (!out || size == 0) return 0;
  std::string fallback = defaultValue ? defaultValue : "";
  while (!fallback.empty() && fallback.back() == ' ') fallback.pop_back();
  if (!fileName || !*fileName) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return CopyOut(fallback, out, size);
  }
  std::string host;
  std::string bytes;
  int error = 0;
  const bool named = ProfileHostPath("GetPrivateProfileStringA", fileName, &host);
  if (!named || !ReadWholeFile(host, &bytes, &error)) {
    if (named) SetLastError(ERROR_FILE_NOT_FOUND);
    return section && key ? CopyOut(fallback, out, size) : CopyList({}, out, size);
  }
  ProfileFile file = Decode(std::move(bytes));
  const ProfileText text(std::move(file.text), TextEncoding(file));
  if (!section || !key) {
    std::vector<std::string> names;
    if (!section) names = text.SectionNames();
    else text.KeyNames(InFile(file, SectionName(section)), &names);
    for (std::string& name : names) name = FromFile(file, name);
    return CopyList(names, out, size);
  }
  std::string value;
  if (!text.FindValue(InFile(file, SectionName(section)), InFile(file, key), &value)) {
    return CopyOut(fallback, out, size);
  }
  return CopyOut(FromFile(file, value), out, size);
}

// A missing key or empty value gives the default; any other text its leading number,
// 0 when it does not start with one.
extern "C" UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue,
                                      LPCSTR fileName) {
  if (!section || !key) return static_cast<UINT>(defaultValue);
  std::string host;
  std::string bytes;
  int error = 0;
  if (!fileName || !*fileName) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return static_cast<UINT>(defaultValue);
  }
  if (!ProfileHostPath("GetPrivateProfileIntA", fileName, &host)) return static_cast<UINT>(defaultValue);
  if (!ReadWholeFile(host, &bytes, &error)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return static_cast<UINT>(defaultValue);
  }
  ProfileFile file = Decode(std::move(bytes));
  std::string value;
  if (!ProfileText(std::move(file.text), TextEncoding(file)).FindValue(InFile(file, SectionName(section)), InFile(file, key), &value) ||
      value.empty()) {
    return static_cast<UINT>(defaultValue);
  }
  return ParseProfileInt(value);
}

// Creates file, section and key as needed; a null value deletes the key, a null key the
// section. Lines it does not change keep their bytes.
extern "C" BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value,
                                           LPCSTR fileName) {
  if (!section) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (!fileName || !*fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> lock(g_writeMutex);
  if (IsBareName(fileName) && !MakeFolders(WindowsDirectory())) {
    SetLastError(PlatformErrorFromErrno(errno, WindowsDirectory()));
    return FALSE;
  }
  std::string host;
  if (!ProfileHostPath("WritePrivateProfileStringA", fileName, &host)) return FALSE;
  const std::string target = ReplacedFile(host);
  // The replacement would go through a read-only file's folder, past the file's own
  // protection; Windows refuses a read-only file (no write bit here), so does this.
  struct stat st;
  if (stat(target.c_str(), &st) == 0 && ((st.st_mode & 0222) == 0 || access(target.c_str(), W_OK) != 0)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  RemoveStaleTemporaries(target);
  std::string bytes;
  int error = 0;
  bool cut = false;
  const bool exists = ReadWholeFile(host, &bytes, &error, &cut);
  if (!exists && error != ENOENT) {
    // Never replace a file that could not be read: its contents would be lost.
    SetLastError(PlatformErrorFromErrno(error, host));
    return FALSE;
  }
  if (cut) {
    // Nor one read only in part: its tail would be lost.
    SetLastError(ERROR_FILE_TOO_LARGE);
    return FALSE;
  }
  const bool deleting = !key || !value;
  if (!exists && deleting) return TRUE;  // nothing to delete, and no file to create
  ProfileFile file = Decode(bytes);
  ProfileText text(file.text, TextEncoding(file));
  const std::string sectionName = InFile(file, SectionName(BeforeLineBreak(section)));
  if (!key) text.DeleteSection(sectionName);
  else if (!value) text.DeleteKey(sectionName, InFile(file, BeforeLineBreak(key)));
  else text.SetValue(sectionName, InFile(file, BeforeLineBreak(key)), InFile(file, BeforeLineBreak(value)));
  const std::string updated = Encode(file.encoding, text.Bytes());
  if (exists && updated == bytes) return TRUE;
  return ReplaceFile(target, updated) ? TRUE : FALSE;
}
