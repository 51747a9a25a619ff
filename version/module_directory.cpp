// The directory of the running executable: the program directory, where everything the
// launcher reads lies. Alone in its file so tests can stand in a directory of their own.
#include <string.h>

#include "platform/win32.h"
#include "version/version_file.h"

char* ModuleDirectory(char* buffer) {
  if (!buffer) return nullptr;
  memset(buffer, 0, LauncherPathSize);
  GetModuleFileNameA(nullptr, buffer, LauncherPathSize);
  // Multibyte-aware, so a GBK trail byte equal to '\' is never taken for a separator.
  unsigned char* last = _mbsrchr(reinterpret_cast<unsigned char*>(buffer), '\\');
  if (last) *last = '\0';
  return buffer;
}
