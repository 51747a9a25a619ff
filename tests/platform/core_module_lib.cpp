// A tiny library that the module tests load under Windows-style names.
#include "platform/win32.h"

extern "C" __attribute__((visibility("default"))) int ZentCoreTestValue(void) { return 42; }

// Uses the platform library, so that its exports are reachable through this one's
// dependencies, which GetProcAddress must not report as this library's own.
extern "C" __attribute__((visibility("default"))) int ZentCoreTestUsesPlatform(void) {
  return static_cast<int>(GetLastError());
}
