// The process entry on Linux: rebuilds the command line that Windows would hand WinMain
// (the arguments after the program name, quoted where they need it) and calls WinMain.
#include <string>

#include "platform/win32.h"

namespace {

// Quotes one argument so that the Windows command-line rules give it back unchanged.
void AppendQuoted(std::string& out, const char* arg) {
  const std::string text(arg);
  if (!text.empty() && text.find_first_of(" \t\"") == std::string::npos) {
    out += text;
    return;
  }
  out += '"';
  size_t backslashes = 0;
  for (char c : text) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') out.append(backslashes * 2 + 1, '\\');
    else out.append(backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  out += '"';
}

}  // namespace

int main(int argc, char** argv) {
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    AppendQuoted(commandLine, argv[i]);
  }
  return WinMain(GetModuleHandleA(nullptr), nullptr, &commandLine[0], SW_SHOWNORMAL);
}
