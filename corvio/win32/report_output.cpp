// Reports on Windows: the debugger output for a debugger, and standard error, where a test
// or an operator looks.
#include "corvio/report_output.h"

#include <stdio.h>

#include "platform/win32.h"

namespace corvio {

void WriteReportText(const char* text) {
  OutputDebugStringA(text);
  fputs(text, stderr);
  fflush(stderr);
}

}  // namespace corvio
