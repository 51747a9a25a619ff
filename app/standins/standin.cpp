// Stand-in for a program the launcher starts (ZentLauncher.exe, RudaDever.exe): records
// the arguments it was given, one a line, in "<its own file name>.args" beside itself.
#include <string.h>

#include <string>

#include "platform/win32.h"

int main(int argc, char** argv) {
  char self[MAX_PATH] = {0};
  const DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
  if (length == 0 || length >= sizeof self) return 2;
  const std::string record = std::string(self) + ".args";
  const std::string temp = record + ".new";
  // Written beside, then moved into place, so a reader never sees half a record.
  FILE* file = PlatformOpenFile(temp.c_str(), "wb");
  if (!file) return 3;
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    ok = fputs(argv[i], file) >= 0 && ok;
    ok = fputc('\n', file) != EOF && ok;
  }
  ok = fclose(file) == 0 && ok;
  if (!ok || !MoveFileExA(temp.c_str(), record.c_str(), MOVEFILE_REPLACE_EXISTING)) return 4;
  return 0;
}
