// File operations with Windows-form paths: MoveFileExA, DeleteFileA, CreateDirectoryA,
// GetFileAttributesA.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/linux/codepage.h"
#include "platform/linux/path.h"

namespace {

constexpr DWORD kFileAttributeReadOnly = 0x1u;

bool Fail(int err, const std::string& hostPath) {
  SetLastError(PlatformErrorFromErrno(err, hostPath));
  return false;
}

// The target's folder as resolved, with the final name spelled as the caller gave it.
// Only called once the whole path converted, so its last component converts too.
std::string WithGivenName(const std::string& resolved, const char* windowsPath) {
  const size_t slash = resolved.find_last_of('/');
  std::string base;
  PlatformAnsiToUtf8(PlatformBaseName(windowsPath), &base);
  if (slash == std::string::npos) return base;
  return resolved.substr(0, slash + 1) + base;
}

}  // namespace

// Without MOVEFILE_REPLACE_EXISTING an existing target fails with ERROR_ALREADY_EXISTS;
// with it the target is replaced atomically. A change of case only renames.
extern "C" BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags) {
  if (!from || !to || !*from || !*to) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string source;
  std::string target;
  if (!PlatformHostPath("MoveFileExA", from, &source) || !PlatformHostPath("MoveFileExA", to, &target)) {
    return FALSE;
  }
  struct stat sourceStat;
  if (lstat(source.c_str(), &sourceStat) != 0) return Fail(errno, source);
  struct stat targetStat;
  if (lstat(target.c_str(), &targetStat) == 0 && targetStat.st_dev == sourceStat.st_dev &&
      targetStat.st_ino == sourceStat.st_ino) {
    // The same file under another case: Windows gives it the new spelling.
    target = WithGivenName(target, to);
    if (rename(source.c_str(), target.c_str()) != 0) return Fail(errno, target);
    return TRUE;
  }
  if (flags & MOVEFILE_REPLACE_EXISTING) {
    if (rename(source.c_str(), target.c_str()) != 0) return Fail(errno, target);
    return TRUE;
  }
  // renameat2 refuses an existing target without a window between test and rename.
  if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
    return TRUE;
  }
  if (errno != EINVAL && errno != ENOSYS) return Fail(errno, target);
  if (access(target.c_str(), F_OK) == 0) return Fail(EEXIST, target);
  if (rename(source.c_str(), target.c_str()) != 0) return Fail(errno, target);
  return TRUE;
}

// A folder cannot be deleted this way: ERROR_ACCESS_DENIED, as on Windows.
extern "C" BOOL DeleteFileA(LPCSTR path) {
  std::string host;
  if (!PlatformRequiredHostPath("DeleteFileA", path, ERROR_INVALID_PARAMETER, &host)) return FALSE;
  if (unlink(host.c_str()) != 0) return Fail(errno, host);
  return TRUE;
}

// An existing folder (in any case) gives ERROR_ALREADY_EXISTS; a missing parent
// ERROR_PATH_NOT_FOUND. The security attributes are ignored.
extern "C" BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security) {
  std::string host;
  if (!PlatformRequiredHostPath("CreateDirectoryA", path, ERROR_PATH_NOT_FOUND, &host)) return FALSE;
  if (mkdir(host.c_str(), 0777) != 0) return Fail(errno, host);
  return TRUE;
}

// Folders are FILE_ATTRIBUTE_DIRECTORY; files the owner may not write are read-only;
// other files FILE_ATTRIBUTE_NORMAL.
extern "C" DWORD GetFileAttributesA(LPCSTR path) {
  std::string host;
  if (!PlatformRequiredHostPath("GetFileAttributesA", path, ERROR_FILE_NOT_FOUND, &host)) return INVALID_FILE_ATTRIBUTES;
  struct stat st;
  if (stat(host.c_str(), &st) != 0) {
    Fail(errno, host);
    return INVALID_FILE_ATTRIBUTES;
  }
  if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  if (!(st.st_mode & S_IWUSR)) return kFileAttributeReadOnly;
  return FILE_ATTRIBUTE_NORMAL;
}
