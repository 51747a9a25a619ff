// The one place that finds the program folder from the executable's path.
#include "components/program_directory.h"

#include <string.h>

#include "components/safe_string.h"
#include "platform/win32.h"

const char* ProgramDirectory() {
  // Not locked: the first call comes from the user-interface thread before any other.
  static char directory[LauncherPathSize];
  static bool computed = false;
  if (computed) return directory;
  computed = true;
  memset(directory, 0, sizeof directory);
  const DWORD length = GetModuleFileNameA(nullptr, directory, LauncherPathSize);
  // A full buffer means the path was cut (Windows then reports ERROR_INSUFFICIENT_BUFFER).
  if (length == 0 || length >= static_cast<DWORD>(LauncherPathSize)) {
    memset(directory, 0, sizeof directory);
    return directory;
  }
  char* last = const_cast<char*>(FindLastChar(directory, '\\'));
  if (last) *last = '\0';
  return directory;
}
