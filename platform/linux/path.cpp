// Windows-form path (GBK) <-> host path (UTF-8), with the case-insensitive name lookup
// Windows gives.
#include "platform/linux/path.h"

#include <dirent.h>
#include <errno.h>
#include <string.h>
#include <sys/stat.h>

#include <vector>

#include "platform/linux/codepage.h"
#include "platform/linux/gbk_chars.h"

namespace {

// Error codes not in the public header, only reported through GetLastError.
constexpr DWORD kErrorGenFailure = 31;
constexpr DWORD kErrorNotSameDevice = 17;
constexpr DWORD kErrorDiskFull = 112;
constexpr DWORD kErrorFilenameExcedRange = 206;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }
char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Host names are UTF-8, whose bytes of non-ASCII characters are all 0x80 or above:
// folding ASCII letters byte by byte never touches them.
bool HostNamesEqual(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

struct SplitPath {
  bool absolute = false;
  bool trailingSeparator = false;
  std::vector<std::string> parts;
};

// Splits a Windows-form path at separators; a double-byte character is never split, so
// its trail byte 0x5C stays inside the name.
SplitPath Split(const std::string& text) {
  SplitPath out;
  out.absolute = !text.empty() && IsSeparator(text[0]);
  std::string current;
  for (size_t i = 0; i < text.size();) {
    const size_t length = GbkCharLength(text.data(), text.size(), i);
    if (length == 1 && IsSeparator(text[i])) {
      if (!current.empty()) out.parts.push_back(current);
      current.clear();
    } else {
      current.append(text, i, length);
    }
    i += length;
  }
  if (!current.empty()) out.parts.push_back(current);
  out.trailingSeparator = !text.empty() && IsSeparator(text.back()) && !out.parts.empty();
  return out;
}

// Drops "." and folds "name\.." away, as Windows normalises a path before using it.
std::vector<std::string> Normalise(const SplitPath& split) {
  std::vector<std::string> out;
  for (const std::string& part : split.parts) {
    if (part == ".") continue;
    if (part == "..") {
      if (!out.empty() && out.back() != "..") {
        out.pop_back();
        continue;
      }
      if (split.absolute) continue;  // the root's parent is the root
    }
    out.push_back(part);
  }
  return out;
}

// Finds the entry of folder that equals name without regard to case; when several do,
// the one first in byte order, so the choice never depends on the folder's order.
bool FindEntry(const std::string& folder, const std::string& name, std::string* found) {
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return false;
  bool any = false;
  while (struct dirent* entry = readdir(dir)) {
    const std::string candidate(entry->d_name);
    if (!HostNamesEqual(candidate, name)) continue;
    if (!any || candidate < *found) *found = candidate;
    any = true;
  }
  closedir(dir);
  return any;
}

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

// parts are host (UTF-8) names by now; base is where a relative path starts.
std::string Resolve(const std::string& base, const SplitPath& split) {
  const std::vector<std::string> parts = Normalise(split);
  std::string path = split.absolute ? "/" : base;
  bool searching = true;  // once a component is missing, nothing below it can exist
  for (const std::string& part : parts) {
    std::string next = Join(path, part);
    if (searching && part != ".." && !Exists(next)) {
      std::string found;
      if (FindEntry(path, part, &found)) next = Join(path, found);
      else searching = false;
    }
    path = next;
  }
  if (path.empty()) return ".";
  if (split.trailingSeparator && path.back() != '/') path += '/';
  return path;
}

}  // namespace

bool PlatformHostPathIn(const char* function, const std::string& hostBase,
                        const char* windowsPath, std::string* host) {
  host->clear();
  if (!windowsPath || !*windowsPath) return true;
  std::string text(windowsPath);
  // One drive on Linux: "C:\x" is "/x", "C:x" is "x".
  if (text.size() >= 2 && ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z')) &&
      text[1] == ':') {
    text.erase(0, 2);
  }
  if (text.empty()) {
    *host = hostBase.empty() ? "." : hostBase;
    return true;
  }
  SplitPath split = Split(text);
  for (std::string& part : split.parts) {
    std::string utf8;
    if (!PlatformAnsiToUtf8(part, &utf8)) {
      PlatformFailUntranslatable(function, windowsPath, false);
      return false;
    }
    part = utf8;
  }
  *host = Resolve(hostBase, split);
  return true;
}

bool PlatformHostPath(const char* function, const char* windowsPath, std::string* host) {
  return PlatformHostPathIn(function, std::string(), windowsPath, host);
}

bool PlatformRequiredHostPath(const char* function, const char* windowsPath, DWORD emptyError,
                              std::string* host) {
  if (!windowsPath || !*windowsPath) {
    host->clear();
    SetLastError(emptyError);
    return false;
  }
  return PlatformHostPath(function, windowsPath, host);
}

bool PlatformWindowsPath(const char* function, const std::string& hostPath, std::string* windows) {
  if (!PlatformUtf8ToAnsi(hostPath, windows)) {
    windows->clear();
    PlatformFailUntranslatable(function, hostPath, true);
    return false;
  }
  // A GBK trail byte is 0x40 or above, so every 0x2F left is a real slash.
  for (char& c : *windows) {
    if (c == '/') c = '\\';
  }
  return true;
}

bool PlatformPathHasSeparator(const char* windowsPath) {
  if (!windowsPath) return false;
  const size_t size = strlen(windowsPath);
  for (size_t i = 0; i < size;) {
    const size_t length = GbkCharLength(windowsPath, size, i);
    if (length == 1 && (IsSeparator(windowsPath[i]) || windowsPath[i] == ':')) return true;
    i += length;
  }
  return false;
}

std::string PlatformBaseName(const std::string& path) {
  size_t start = 0;
  for (size_t i = 0; i < path.size();) {
    const size_t length = GbkCharLength(path.data(), path.size(), i);
    if (length == 1 && (IsSeparator(path[i]) || path[i] == ':')) start = i + 1;
    i += length;
  }
  return path.substr(start);
}

std::string PlatformHostBaseName(const std::string& hostPath) {
  const size_t slash = hostPath.find_last_of('/');
  return slash == std::string::npos ? hostPath : hostPath.substr(slash + 1);
}

DWORD PlatformErrorFromErrno(int err, const std::string& hostPath) {
  switch (err) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT: {
      // Windows tells a missing file from a missing folder on the way to it.
      const size_t slash = hostPath.find_last_of('/');
      std::string parent = slash == std::string::npos ? "." : hostPath.substr(0, slash);
      if (parent.empty()) parent = "/";
      struct stat st;
      if (stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return ERROR_FILE_NOT_FOUND;
      return ERROR_PATH_NOT_FOUND;
    }
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ENOTEMPTY:
    case EBUSY:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case ENAMETOOLONG:
      return kErrorFilenameExcedRange;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case EXDEV:
      return kErrorNotSameDevice;
    case ENOSPC:
      return kErrorDiskFull;
    case EILSEQ:
      return ERROR_NO_UNICODE_TRANSLATION;
    default:
      return kErrorGenFailure;
  }
}
