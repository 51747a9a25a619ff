// How the Linux platform layer reports what a Windows program would only see as an error
// code: one line through the debugger output (standard error here), like the framework's.
#pragma once

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void PlatformReport(const char* format, ...);
