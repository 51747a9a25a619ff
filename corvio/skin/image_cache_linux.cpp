// The image cache's system half on Linux: the XDG cache folder, nanosecond file times.
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "corvio/skin/image_cache.h"

namespace corvio {
namespace skin {

std::string UserCacheFolder() {
  const char* cache = getenv("XDG_CACHE_HOME");
  if (cache && cache[0] == '/') return std::string(cache) + "/corvio";  // relative ones are ignored, as the XDG rules say
  const char* home = getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.cache/corvio";
  return std::string();
}

bool FileStamp(const std::string& path, uint64_t* size, int64_t* time) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  *size = static_cast<uint64_t>(st.st_size);
  *time = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return true;
}

std::string AbsoluteFilePath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

bool MakeFolders(const std::string& folder) {
  struct stat st;
  if (stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const size_t slash = folder.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash))) return false;
  return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

bool MoveOver(const std::string& from, const std::string& to) { return rename(from.c_str(), to.c_str()) == 0; }

}  // namespace skin
}  // namespace corvio
