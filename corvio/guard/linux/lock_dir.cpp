// Finds or creates the folder for lock files: one that only this user can write into, so
// no other user can plant the lock file (or a link in its place) and switch the guard off.
#include "corvio/guard/linux/lock_dir.h"

#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "corvio/guard/instance_name.h"
#include "corvio/report.h"

namespace corvio {

namespace {

constexpr char kOwnFolder[] = "corvio";  // our folder under the state directory

std::string Describe(const struct stat& st) {
  char text[96];
  snprintf(text, sizeof text, "owner uid %lu, mode %04o", static_cast<unsigned long>(st.st_uid),
           static_cast<unsigned>(st.st_mode & 07777));
  return text;
}

enum FolderRule {
  kNoLink = 1,  // a symbolic link at the last step is refused
  kNarrow = 2,  // a folder of ours that others may write into is narrowed to 0700
};

// Opens `name` (relative to `at`, or absolute) as a directory owned by this user that
// nobody else may write into, by the rules given. -1 with *why when refused.
int OpenOwnFolder(int at, const char* name, const std::string& shown, int rules,
                  std::string* why) {
  const int fd = openat(at, name,
                        O_RDONLY | O_DIRECTORY | O_CLOEXEC | ((rules & kNoLink) ? O_NOFOLLOW : 0));
  if (fd < 0) {
    const int error = errno;
    struct stat st;
    const bool link = fstatat(at, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
    *why = shown + (link ? ": a symbolic link" : std::string(": ") + strerror(error));
    return -1;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    *why = shown + ": " + strerror(errno);
  } else if (st.st_uid != geteuid()) {
    *why = shown + ": not this user's (" + Describe(st) + ")";
  } else if ((st.st_mode & 022) == 0 || ((rules & kNarrow) && fchmod(fd, 0700) == 0)) {
    return fd;
  } else {
    *why = shown + ": writable by others (" + Describe(st) + ")";
  }
  close(fd);
  return -1;
}

// The state directory: $XDG_STATE_HOME when absolute, else ~/.local/state.
bool StateHome(std::string* path, std::string* why) {
  const char* state = getenv("XDG_STATE_HOME");
  if (state && state[0] == '/') {
    *path = state;
    return true;
  }
  const char* home = getenv("HOME");
  std::string base;
  if (home && home[0] == '/') {
    base = home;
  } else {
    char buffer[4096];
    struct passwd entry;
    struct passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) != 0 || !found ||
        found->pw_dir[0] != '/') {
      *why = "no home folder (HOME unset and none in the user database)";
      return false;
    }
    base = found->pw_dir;
  }
  *path = base + "/.local/state";
  return true;
}

// Creates each missing folder of an absolute path with mode 0700, as the base directory
// rules ask of a state directory; what exists already is left as it is.
void MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    mkdir(path.substr(0, slash).c_str(), 0700);
    if (slash == std::string::npos) break;
  }
}

}  // namespace

LockDirectory::~LockDirectory() {
  if (fd >= 0) close(fd);
}

bool OpenLockDirectory(LockDirectory* dir, std::string* why) {
  const char* runtime = getenv("XDG_RUNTIME_DIR");
  std::string refused;
  if (runtime && runtime[0] == '/') {
    dir->fd = OpenOwnFolder(AT_FDCWD, runtime, runtime, kNoLink, &refused);
    if (dir->fd >= 0) {
      dir->path = runtime;
      return true;
    }
  } else if (runtime && runtime[0]) {
    refused = std::string(runtime) + ": not an absolute path";
  }

  std::string state;
  if (!StateHome(&state, why)) return false;
  MakeFolders(state);
  // The state directory must be ours too: whoever may write into it could put a folder of
  // their own where ours goes. A link there is the user's own choice and is followed.
  const int parent = OpenOwnFolder(AT_FDCWD, state.c_str(), state, 0, why);
  if (parent < 0) return false;
  mkdirat(parent, kOwnFolder, 0700);  // an existing one is checked below like a new one
  dir->fd = OpenOwnFolder(parent, kOwnFolder, state + "/" + kOwnFolder, kNoLink | kNarrow, why);
  close(parent);
  if (dir->fd < 0) return false;
  dir->path = state + "/" + kOwnFolder;
  if (!refused.empty())
    ReportF("[Corvio_Guard]", "XDG_RUNTIME_DIR is not private (%s); locks go to %s",
            refused.c_str(), dir->path.c_str());
  return true;
}

std::string LockFileName(const std::string& instanceName) {
  return EscapeInstanceName(instanceName) + ".lock";
}

}  // namespace corvio
