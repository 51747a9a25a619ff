// Large pixel buffers on Windows: the heap. Large pages there need a privilege that a
// player's account does not hold.
#include <stdlib.h>

#include "corvio/skin/pixel_memory.h"

namespace corvio {
namespace skin {

void* AllocatePixelMemory(size_t bytes) { return malloc(bytes ? bytes : 1); }

void FreePixelMemory(void* memory, size_t /*bytes*/) { free(memory); }

void* PixelMalloc(size_t bytes) { return malloc(bytes); }

void* PixelCalloc(size_t count, size_t size) { return calloc(count, size); }

void* PixelRealloc(void* memory, size_t bytes) { return realloc(memory, bytes); }

void PixelFree(void* memory) { free(memory); }

}  // namespace skin
}  // namespace corvio
