// GlobalAlloc and GlobalFree: fixed memory blocks, zero-filled on request.
#include <stdlib.h>

#include "platform/win32.h"

// Every block is fixed (the handle is the address); GMEM_ZEROINIT fills it with zeros.
// A request for 0 bytes still gives a block that can be freed.
extern "C" HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
  const SIZE_T size = bytes ? bytes : 1;
  void* block = (flags & GMEM_ZEROINIT) ? calloc(1, size) : malloc(size);
  if (!block) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return block;
}

// Null on success, as on Windows.
extern "C" HGLOBAL GlobalFree(HGLOBAL memory) {
  free(memory);
  return nullptr;
}
