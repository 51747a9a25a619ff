// PlatformOpenFile on Windows: the C runtime already has Windows paths and text mode.
#include "platform/win32.h"

FILE* PlatformOpenFile(const char* path, const char* mode) {
  if (!path || !mode) return nullptr;
  return fopen(path, mode);
}
