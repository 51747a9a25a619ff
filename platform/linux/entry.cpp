// The process entry on Linux: rebuilds the command line that Windows would hand WinMain
// (the arguments after the program name, quoted where they need it) and calls WinMain.
#include <string>

#include "platform/linux/command_line.h"
#include "platform/win32.h"

int main(int argc, char** argv) {
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    PlatformAppendQuotedArgument(commandLine, argv[i]);
  }
  return WinMain(GetModuleHandleA(nullptr), nullptr, &commandLine[0], SW_SHOWNORMAL);
}
