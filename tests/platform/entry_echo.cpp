// A program for the entry tests: its WinMain writes the command line it was given to the
// file named by ZENT_CMDLINE_FILE.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand) {
  const char* target = getenv("ZENT_CMDLINE_FILE");
  if (!target || !commandLine) return 2;
  FILE* f = fopen(target, "wb");
  if (!f) return 3;
  fwrite(commandLine, 1, strlen(commandLine), f);
  fclose(f);
  return showCommand == SW_SHOWNORMAL ? 0 : 4;
}
