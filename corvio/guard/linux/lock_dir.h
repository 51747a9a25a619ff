// Where the instance lock files live: the user's runtime folder when it is private, else a
// folder of the user's own under the home folder's state directory; never a shared one.
#pragma once

#include <string>

namespace corvio {

// The lock folder, opened: lock files are opened through fd (never through a path that
// could be swapped), the socket beside them can only be named by path.
struct LockDirectory {
  LockDirectory() = default;
  ~LockDirectory();
  LockDirectory(const LockDirectory&) = delete;
  LockDirectory& operator=(const LockDirectory&) = delete;
  int fd = -1;
  std::string path;
};

// $XDG_RUNTIME_DIR when it is a real directory owned by this user that nobody else may
// write into; else $XDG_STATE_HOME/corvio (or ~/.local/state/corvio), created with mode
// 0700 and checked the same way. False, with the reason in *why, when neither is safe.
bool OpenLockDirectory(LockDirectory* dir, std::string* why);

// The lock file's name for an instance name (the escaped name and ".lock").
std::string LockFileName(const std::string& instanceName);

}  // namespace corvio
