// The framework's one reporting function.
#include "corvio/report.h"

#include <stdio.h>

#include "platform/win32.h"

namespace corvio {

namespace {

void Emit(const char* text) {
  OutputDebugStringA(text);
#ifdef _WIN32
  // The debugger output is not where a test or an operator looks: standard error too.
  fputs(text, stderr);
  fflush(stderr);
#endif
}

}  // namespace

void Report(const char* prefix, const std::string& line) {
  std::string text;
  try {
    if (prefix && *prefix) text.append(prefix).append(" ");
    text.append(line).append("\n");
  } catch (...) {
    // Out of memory: the line still goes out, in pieces.
    if (prefix && *prefix) Emit(prefix), Emit(" ");
    Emit(line.c_str());
    Emit("\n");
    return;
  }
  Emit(text.c_str());
}

}  // namespace corvio
