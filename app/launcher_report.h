// The launcher's own lines for the operator: one line on standard error each, after
// "ZentPorter: ", written at once so it survives a crash that follows.
#pragma once

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void LauncherReport(const char* format, ...);
