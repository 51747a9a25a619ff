// The process entry on Linux: rebuilds the command line that Windows would hand WinMain
// (the arguments after the program name, quoted where they need it), calls WinMain and
// ends the process with its code.
#include <stdio.h>
#include <unistd.h>

#include <string>

#include "platform/linux/codepage.h"
#include "platform/linux/command_line.h"
#include "platform/linux/report.h"
#include "platform/win32.h"

// Arguments arrive in UTF-8 and WinMain reads the ANSI code page (GBK), as ShellExecuteA
// hands them the other way. An argument that is not UTF-8 text GBK can hold would reach
// the program as some other text, so the program does not start.
int main(int argc, char** argv) {
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    std::string ansi;
    if (!PlatformUtf8ToAnsi(argv[i], &ansi)) {
      PlatformReport("%s: argument %d \"%s\" is not UTF-8 text that the ANSI code page (GBK) can hold",
              argv[0], i, argv[i]);
      return 1;
    }
    if (i > 1) commandLine += ' ';
    PlatformAppendQuotedArgument(commandLine, ansi.c_str());
  }
  const int code = WinMain(GetModuleHandleA(nullptr), nullptr, &commandLine[0], SW_SHOWNORMAL);
  // The process ends as Windows ends it: threads still running (a look-up, a probe, a
  // fetch) stop with it, and never meet libraries that tear themselves down at exit.
  fflush(nullptr);
  _exit(code);
}
