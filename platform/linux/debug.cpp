// OutputDebugStringA: the debugger output goes to standard error, bytes unchanged.
#include <string.h>

#include "platform/win32.h"

// Nothing is added: no line end, no prefix; GBK bytes pass through as they are.
extern "C" void OutputDebugStringA(LPCSTR text) {
  if (!text) return;
  fwrite(text, 1, strlen(text), stderr);
  fflush(stderr);
}
