// LauncherReport: formatted into a bounded line, so a long value is cut, never overrun.
#include "app/launcher_report.h"

#include <stdarg.h>
#include <stdio.h>

void LauncherReport(const char* format, ...) {
  char line[2048];
  va_list args;
  va_start(args, format);
  const int written = vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (written < 0) return;
  fprintf(stderr, "ZentPorter: %s\n", line);
  fflush(stderr);
}
