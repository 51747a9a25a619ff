// PlatformOpenFile on Windows: the C runtime already has Windows paths and text mode.
#include <errno.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

#include "platform/win32.h"

namespace {

// A pipe or a device (CON, a serial port) may block or never end, a folder holds no text:
// for reading, only a file on a disk counts as a file.
bool IsFileOnDisk(FILE* file) {
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  BY_HANDLE_FILE_INFORMATION info;
  return handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_DISK &&
         GetFileInformationByHandle(handle, &info) &&
         !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

// For reading ("r" without "+"), anything but a file on a disk is named on standard error
// and refused with EACCES (ERROR_ACCESS_DENIED), as the runtime refuses a folder.
FILE* PlatformOpenFile(const char* path, const char* mode) {
  if (!path || !mode) return nullptr;
  FILE* file = fopen(path, mode);
  if (!file || mode[0] != 'r' || strchr(mode, '+') || IsFileOnDisk(file)) return file;
  fclose(file);
  fprintf(stderr, "PlatformOpenFile: %s is not a file: read as absent\n", path);
  fflush(stderr);
  errno = EACCES;
  SetLastError(ERROR_ACCESS_DENIED);
  return nullptr;
}
