// A program for the program-folder tests: prints what the launcher reads at start-up
// through the A functions (its own path, a profile in its folder, the current directory
// after changing to that folder), one "name=value" line each, values as GBK bytes.
#include <stdio.h>
#include <string.h>

#include <string>

#include "platform/win32.h"

int main() {
  char self[MAX_PATH];
  memset(self, 'X', sizeof self);
  SetLastError(0);
  const DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
  const DWORD error = GetLastError();
  printf("length=%lu error=%lu chars=%zu\n", static_cast<unsigned long>(length),
         static_cast<unsigned long>(error), length ? strnlen(self, sizeof self) : 0);
  if (length == 0 || length >= sizeof self) return 0;  // no usable program folder

  unsigned char* slash = _mbsrchr(reinterpret_cast<unsigned char*>(self), '\\');
  if (!slash) return 2;
  *slash = '\0';
  printf("folder=%s\n", self);

  char value[64];
  GetPrivateProfileStringA("s", "k", "none", value, sizeof value, (std::string(self) + "\\probe.ini").c_str());
  printf("value=%s\n", value);

  char current[MAX_PATH] = "";
  const bool changed = SetCurrentDirectoryA(self) != 0;
  const DWORD currentLength = GetCurrentDirectoryA(sizeof current, current);
  printf("current=%s\n", changed && currentLength > 0 && currentLength < sizeof current ? current : "<failed>");
  return 0;
}
