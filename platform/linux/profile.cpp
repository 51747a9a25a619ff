// Profile (INI) files: GetPrivateProfileStringA, GetPrivateProfileIntA and
// WritePrivateProfileStringA with the Windows rules, writing by atomic replacement.
//
// A file name without any separator is looked up, as on Windows, not in the current
// directory but in a fixed "Windows directory". Linux has none, so ours is the folder
// named by ZENT_WINDOWS_DIR, else $XDG_CONFIG_HOME/zent, else $HOME/.config/zent; a
// write creates it. Names with a separator (".\x.ini", "Config\x.ini", absolute) are
// relative to the current directory, as on Windows.
//
// Results that a reader might not expect (all as Windows gives them):
//   value cut to fit            -> size - 1 returned
//   size 0                      -> 0, buffer untouched; size 1 -> 0, empty text
//   missing file                -> default, ERROR_FILE_NOT_FOUND
//   "abc" for an integer        -> 0, not the default; "-1" -> 4294967295
//   null section on write       -> FALSE, ERROR_FILE_NOT_FOUND, nothing created
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <vector>

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

std::string ProfileHostPath(const char* fileName) {
  if (!IsBareName(fileName)) return PlatformHostPath(fileName);
  return PlatformHostPath((WindowsDirectory() + "/" + fileName).c_str());
}

// Reads the whole file; errno-style code in *error when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* bytes, int* error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = errno;
    return false;
  }
  char chunk[65536];
  for (;;) {
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *error = errno;
      close(fd);
      return false;
    }
    if (got == 0) break;
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

// Writes a new file beside the target and renames it over the target, so a crash
// leaves either the old or the new file, never half of one.
bool ReplaceFile(const std::string& hostPath, const std::string& bytes) {
  std::string target = hostPath;
  char real[PATH_MAX];
  struct stat st;
  const bool exists = lstat(hostPath.c_str(), &st) == 0;
  if (exists && S_ISLNK(st.st_mode) && realpath(hostPath.c_str(), real)) target = real;
  // Renaming over a read-only file would get round its protection; Windows refuses.
  if (stat(target.c_str(), &st) == 0 && (!(st.st_mode & S_IWUSR) || access(target.c_str(), W_OK) != 0)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  const size_t slash = target.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string temp = folder + "/." + base + ".XXXXXX";
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
  const int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
  std::string bytes;
  int error = 0;
  if (!ReadWholeFile(ProfileHostPath(fileName), &bytes, &error)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return section && key ? CopyOut(fallback, out, size) : CopyList({}, out, size);
  }
  const ProfileText text(bytes);
  if (!section) return CopyList(text.SectionNames(), out, size);
  if (!key) {
    std::vector<std::string> keys;
    text.KeyNames(section, &keys);
    return CopyList(keys, out, size);
  }
  std::string value;
  if (!text.FindValue(section, key, &value)) return CopyOut(fallback, out, size);
  return CopyOut(value, out, size);
}

// A missing key or empty value gives the default; any other text its leading number,
// 0 when it does not start with one.
extern "C" UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue,
                                      LPCSTR fileName) {
  if (!section || !key) return static_cast<UINT>(defaultValue);
  std::string bytes;
  int error = 0;
  if (!fileName || !*fileName || !ReadWholeFile(ProfileHostPath(fileName), &bytes, &error)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return static_cast<UINT>(defaultValue);
  }
  std::string value;
  if (!ProfileText(bytes).FindValue(section, key, &value) || value.empty()) {
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
  const std::string host = ProfileHostPath(fileName);
  std::string bytes;
  int error = 0;
  const bool exists = ReadWholeFile(host, &bytes, &error);
  if (!exists && error != ENOENT) {
    // Never replace a file that could not be read: its contents would be lost.
    SetLastError(PlatformErrorFromErrno(error, host));
    return FALSE;
  }
  const bool deleting = !key || !value;
  if (!exists && deleting) return TRUE;  // nothing to delete, and no file to create
  ProfileText text(bytes);
  const std::string sectionName = BeforeLineBreak(section);
  if (!key) text.DeleteSection(sectionName);
  else if (!value) text.DeleteKey(sectionName, BeforeLineBreak(key));
  else text.SetValue(sectionName, BeforeLineBreak(key), BeforeLineBreak(value));
  const std::string updated = text.Bytes();
  if (exists && updated == bytes) return TRUE;
  return ReplaceFile(host, updated) ? TRUE : FALSE;
}
