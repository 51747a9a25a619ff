// The Windows command-line rules: splitting a command line into arguments and quoting
// arguments so that they survive the split.
#include "platform/linux/command_line.h"

std::vector<std::string> PlatformSplitCommandLine(const char* text) {
  std::vector<std::string> args;
  if (!text) return args;
  const char* p = text;
  bool inQuotes = false;
  for (;;) {
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') break;
    std::string arg;
    for (;;) {
      bool copy = true;
      size_t backslashes = 0;
      while (*p == '\\') {
        ++p;
        ++backslashes;
      }
      if (*p == '"') {
        if (backslashes % 2 == 0) {
          if (inQuotes && p[1] == '"') {
            ++p;  // "" inside quotes: one literal quote
          } else {
            copy = false;
            inQuotes = !inQuotes;
          }
        }
        backslashes /= 2;
      }
      arg.append(backslashes, '\\');
      if (*p == '\0' || (!inQuotes && (*p == ' ' || *p == '\t'))) break;
      if (copy) arg += *p;
      ++p;
    }
    args.push_back(arg);
  }
  return args;
}

void PlatformAppendQuotedArgument(std::string& out, const char* arg) {
  const std::string text(arg ? arg : "");
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
    // Backslashes before a quote are doubled, and the quote gets one of its own.
    if (c == '"') out.append(backslashes * 2 + 1, '\\');
    else out.append(backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');  // the closing quote must not be escaped
  out += '"';
}
