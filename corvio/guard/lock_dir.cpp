// Finds or creates a folder for lock files that only the user can write into.
#include "corvio/guard/lock_dir.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvio {

namespace {

// A directory (not a link) owned by us that nobody else may write into.
bool IsPrivateDirectory(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == getuid() && (st.st_mode & 022) == 0;
}

}  // namespace

std::string LockDirectory() {
  const char* runtime = getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/' && IsPrivateDirectory(runtime)) return runtime;

  const char* tmp = getenv("TMPDIR");
  std::string base = tmp && tmp[0] == '/' ? tmp : "/tmp";
  char leaf[64];
  snprintf(leaf, sizeof leaf, "/corvio-%lu", static_cast<unsigned long>(getuid()));
  const std::string dir = base + leaf;
  mkdir(dir.c_str(), 0700);  // an existing folder is checked below like a new one
  return IsPrivateDirectory(dir) ? dir : std::string();
}

std::string LockFileName(const std::string& instanceName) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : instanceName) {
    const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                      (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
    if (safe) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  // A leading dot would hide the file and "." or ".." would name a folder.
  if (!out.empty() && out[0] == '.') out = "%2E" + out.substr(1);
  return out + ".lock";
}

}  // namespace corvio
