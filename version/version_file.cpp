// Reads the installed version from the first line of the program's version file.
#include "version/version_file.h"

#include <string.h>

#include <string>

#include "app/launcher_dialog.h"
#include "components/safe_string.h"
#include "platform/win32.h"
#include "ui/messages.h"

bool ProgramFilePath(const char* relative, char* out) {
  char dir[LauncherPathSize] = {0};
  ModuleDirectory(dir);
  memset(out, 0, LauncherPathSize);
  if (dir[0] == '\0') return false;  // never a path from the root instead
  if (g_safeString.Copy(out, LauncherPathSize, dir) != 0 ||
      g_safeString.Append(out, LauncherPathSize, "\\") != 0 ||
      g_safeString.Append(out, LauncherPathSize, relative ? relative : "") != 0) {
    out[0] = '\0';
    return false;
  }
  return true;
}

std::string LauncherDialog::ReadVersionText() {
  char path[LauncherPathSize] = {0};
  FILE* file = nullptr;
  // A path too long for its buffer is treated like a file that cannot be opened.
  if (ProgramFilePath("config\\rudadever.htm", path)) file = PlatformOpenFile(path, "r");
  if (!file) {
    ShowHint(kMsgVersionFileError);
    return "V2.0.0";
  }
  char line[16] = {0};
  if (!fgets(line, sizeof line, file)) line[0] = '\0';
  fclose(file);
  return std::string("V") + line;
}
