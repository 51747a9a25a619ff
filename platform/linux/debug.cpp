// OutputDebugStringA: the debugger output goes to standard error, bytes unchanged.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "platform/linux/report.h"
#include "platform/win32.h"

// Nothing is added: no line end, no prefix; GBK bytes pass through as they are.
extern "C" void OutputDebugStringA(LPCSTR text) {
  if (!text) return;
  fwrite(text, 1, strlen(text), stderr);
  fflush(stderr);
}

void PlatformReport(const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  const int n = vsnprintf(line, sizeof line - 1, format, args);  // room kept for the newline
  va_end(args);
  if (n < 0) return;
  const size_t end = strlen(line);
  line[end] = '\n';
  line[end + 1] = '\0';
  OutputDebugStringA(line);
}
