// The calling thread's last-error code, as GetLastError and SetLastError keep it.
#include "platform/win32.h"

namespace {
thread_local DWORD t_lastError = ERROR_SUCCESS;
}

extern "C" DWORD GetLastError(void) { return t_lastError; }
extern "C" void SetLastError(DWORD code) { t_lastError = code; }
