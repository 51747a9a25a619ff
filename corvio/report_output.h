// Where a report line goes on this system: report_output.cpp in corvio/linux/ or
// corvio/win32/.
#pragma once

namespace corvio {

// Writes text (whole lines, newline included) where the operator and the tests read it.
void WriteReportText(const char* text);

}  // namespace corvio
