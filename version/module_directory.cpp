// ModuleDirectory, the launcher's name for the program folder that ProgramDirectory finds.
#include <string.h>

#include "components/safe_string.h"
#include "version/version_file.h"

char* ModuleDirectory(char* buffer) {
  if (!buffer) return nullptr;
  memset(buffer, 0, LauncherPathSize);
  g_safeString.Copy(buffer, LauncherPathSize, ProgramDirectory());
  return buffer;
}
