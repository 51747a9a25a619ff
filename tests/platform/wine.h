// Whether a platform test runs under Wine, where a few calls differ from Windows itself.
#pragma once

#include "platform/win32.h"

inline bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");  // none in the Linux build
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
