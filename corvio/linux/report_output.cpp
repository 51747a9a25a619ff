// Reports on Linux: the platform's debugger output is standard error, so once is enough.
#include "corvio/report_output.h"

#include "platform/win32.h"

namespace corvio {

void WriteReportText(const char* text) { OutputDebugStringA(text); }

}  // namespace corvio
