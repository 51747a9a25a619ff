// The framework's one reporting function.
#include "corvio/report.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "corvio/report_output.h"

namespace corvio {

namespace {

void Emit(const char* text) { WriteReportText(text); }

}  // namespace

void ReportF(const char* prefix, const char* format, ...) {
  char line[1024];
  int n = 0;
  if (prefix && *prefix) n = snprintf(line, sizeof line, "%s ", prefix);
  if (n < 0 || static_cast<size_t>(n) >= sizeof line) n = 0;
  line[n] = '\0';
  va_list args;
  va_start(args, format);
  vsnprintf(line + n, sizeof line - n - 1, format, args);  // one byte kept for the newline
  va_end(args);
  const size_t end = strlen(line);
  line[end] = '\n';
  line[end + 1] = '\0';
  Emit(line);
}

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
