// Large pixel buffers on Windows: the heap. Large pages there need a privilege that a
// player's account does not hold.
#include <stdlib.h>

#include "corvio/skin/pixel_memory.h"

namespace corvio {
namespace skin {

void* AllocatePixelMemory(size_t bytes) { return malloc(bytes ? bytes : 1); }

void FreePixelMemory(void* memory, size_t /*bytes*/) { free(memory); }

}  // namespace skin
}  // namespace corvio
