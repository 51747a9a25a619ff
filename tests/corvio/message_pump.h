// Serves the calling thread's window messages while a test waits for work posted to it.
#pragma once

#include <functional>

#include "platform/win32.h"

// Serves messages until done() or the time limit; false when the limit came first.
inline bool PumpUntil(const std::function<bool()>& done, DWORD limitMs) {
  const DWORD start = GetTickCount();
  MSG msg;
  while (!done()) {
    if (GetTickCount() - start > limitMs) return false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (!done()) Sleep(2);
  }
  return true;
}
