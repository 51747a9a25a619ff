// PlatformOpenFile on Windows: the C runtime already has Windows paths and text mode.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

#include "platform/win32.h"

namespace {

// Opens `path` for reading only when it is a file on a disk: a pipe or a device (CON,
// NUL, a serial port) may block or never end, a folder holds no text. Anything else is
// named on standard error and fails with ERROR_ACCESS_DENIED.
FILE* OpenRegularForReading(const char* path, const char* mode) {
  HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  BY_HANDLE_FILE_INFORMATION info;
  const bool onDisk = GetFileType(handle) == FILE_TYPE_DISK &&
                      GetFileInformationByHandle(handle, &info) &&
                      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  if (!onDisk) {
    CloseHandle(handle);
    fprintf(stderr, "PlatformOpenFile: %s is not a file: read as absent\n", path);
    fflush(stderr);
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const bool binary = strchr(mode, 'b') != nullptr;
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | (binary ? _O_BINARY : _O_TEXT));
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  FILE* file = _fdopen(fd, binary ? "rb" : "r");
  if (!file) _close(fd);
  return file;
}

}  // namespace

// For reading ("r" without "+"), only a file on a disk is opened.
FILE* PlatformOpenFile(const char* path, const char* mode) {
  if (!path || !mode) return nullptr;
  if (mode[0] == 'r' && !strchr(mode, '+')) return OpenRegularForReading(path, mode);
  return fopen(path, mode);
}
