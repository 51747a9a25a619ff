// Windows-form path <-> host path, with the case-insensitive name lookup Windows gives.
#include "platform/linux/path.h"

#include <dirent.h>
#include <errno.h>
#include <string.h>
#include <sys/stat.h>

#include <vector>

namespace {

// Error codes not in the public header, only reported through GetLastError.
constexpr DWORD kErrorGenFailure = 31;
constexpr DWORD kErrorNotSameDevice = 17;
constexpr DWORD kErrorDiskFull = 112;
constexpr DWORD kErrorFilenameExcedRange = 206;

bool IsLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool IsTrail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFE); }
bool IsSeparator(char c) { return c == '\\' || c == '/'; }
char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

struct SplitPath {
  bool absolute = false;
  bool trailingSeparator = false;
  std::vector<std::string> parts;
};

// Splits at separators; with gbkAware a double-byte character is never split, so its
// trail byte 0x5C stays inside the name.
SplitPath Split(const std::string& text, bool gbkAware) {
  SplitPath out;
  out.absolute = !text.empty() && IsSeparator(text[0]);
  std::string current;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (gbkAware && IsLead(c) && i + 1 < text.size() &&
        IsTrail(static_cast<unsigned char>(text[i + 1]))) {
      current += text[i];
      current += text[i + 1];
      ++i;
      continue;
    }
    if (IsSeparator(text[i])) {
      if (!current.empty()) out.parts.push_back(current);
      current.clear();
      continue;
    }
    current += text[i];
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
    if (!PlatformNamesEqual(candidate, name)) continue;
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

std::string Resolve(const SplitPath& split) {
  const std::vector<std::string> parts = Normalise(split);
  std::string path = split.absolute ? "/" : "";
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

bool PlatformNamesEqual(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(a[i]);
    if (IsLead(c) && i + 1 < a.size() && IsTrail(static_cast<unsigned char>(a[i + 1]))) {
      // A double-byte character matches only itself: its trail byte is no letter.
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

std::string PlatformHostPath(const char* windowsPath) {
  if (!windowsPath) return std::string();
  std::string text(windowsPath);
  // One drive on Linux: "C:\x" is "/x", "C:x" is "x".
  if (text.size() >= 2 && ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z')) &&
      text[1] == ':') {
    text.erase(0, 2);
  }
  if (text.empty()) return windowsPath[0] ? std::string(".") : std::string();
  const SplitPath gbk = Split(text, true);
  const std::string resolved = Resolve(gbk);
  // A byte 0x5C after a GBK lead byte may also be a real separator after a host name in
  // another encoding (UTF-8 folders); take that reading when only it names something.
  const SplitPath bytes = Split(text, false);
  if (bytes.parts != gbk.parts && !Exists(resolved)) {
    const std::string byteResolved = Resolve(bytes);
    if (Exists(byteResolved)) return byteResolved;
  }
  return resolved;
}

std::string PlatformWindowsPath(const std::string& hostPath) {
  std::string out(hostPath);
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  return out;
}

bool PlatformPathHasSeparator(const char* windowsPath) {
  if (!windowsPath) return false;
  for (const char* p = windowsPath; *p; ++p) {
    if (*p == '\\' || *p == '/' || *p == ':') return true;
  }
  return false;
}

std::string PlatformBaseName(const std::string& path) {
  size_t start = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsLead(c) && i + 1 < path.size() && IsTrail(static_cast<unsigned char>(path[i + 1]))) {
      ++i;
      continue;
    }
    if (IsSeparator(path[i]) || path[i] == ':') start = i + 1;
  }
  return path.substr(start);
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
    default:
      return kErrorGenFailure;
  }
}
