// SDL's allocator: large blocks are pixel memory (pixel_memory.h), remembered here with
// their sizes because SDL frees without one; everything else is the C heap.
#include "corvio/skin/backend/sdl/sdl_memory.h"

#include <SDL2/SDL.h>
#include <malloc.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <mutex>

#include "corvio/skin/pixel_memory.h"

namespace corvio {
namespace skin {

namespace {

// SDL makes a handful of large blocks (a window's surface each); past this many, the heap.
constexpr int kMaxMappings = 32;

struct Mapping {
  void* at = nullptr;
  size_t bytes = 0;
};

// Never destroyed: SDL frees its last blocks while the process's statics are going away.
std::mutex& Lock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}

Mapping* Mappings() {
  static Mapping mappings[kMaxMappings];
  return mappings;
}

// The size of the mapping at memory, or 0 when it is not one; forget also drops it.
size_t MappedSize(void* memory, bool forget) {
  if (!memory) return 0;
  std::lock_guard<std::mutex> hold(Lock());
  Mapping* m = Mappings();
  for (int i = 0; i < kMaxMappings; ++i) {
    if (m[i].at != memory) continue;
    const size_t bytes = m[i].bytes;
    if (forget) m[i] = Mapping{};
    return bytes;
  }
  return 0;
}

// A new mapping of bytes (zeroed, as fresh mappings are), or null to use the heap instead.
void* Map(size_t bytes) {
  if (bytes < kLargePixelBytes) return nullptr;
  void* memory = AllocatePixelMemory(bytes);
  if (!memory) return nullptr;
  std::lock_guard<std::mutex> hold(Lock());
  Mapping* m = Mappings();
  for (int i = 0; i < kMaxMappings; ++i) {
    if (m[i].at) continue;
    m[i] = Mapping{memory, bytes};
    return memory;
  }
  FreePixelMemory(memory, bytes);
  return nullptr;
}

void Free(void* memory) {
  if (const size_t bytes = MappedSize(memory, true)) {
    FreePixelMemory(memory, bytes);
    return;
  }
  free(memory);
}

void* Malloc(size_t bytes) {
  void* memory = Map(bytes);
  return memory ? memory : malloc(bytes);
}

void* Calloc(size_t count, size_t size) {
  if (size && count > SIZE_MAX / size) return nullptr;
  void* memory = Map(count * size);
  return memory ? memory : calloc(count, size);
}

void* Realloc(void* memory, size_t bytes) {
  if (!memory) return Malloc(bytes);
  const size_t mapped = MappedSize(memory, false);
  if (!mapped && bytes < kLargePixelBytes) return realloc(memory, bytes);
  // Between the heap and a mapping, or from one mapping to another: a new block.
  void* moved = Malloc(bytes);
  if (!moved) return nullptr;
  memcpy(moved, memory, std::min(bytes, mapped ? mapped : malloc_usable_size(memory)));
  Free(memory);
  return moved;
}

}  // namespace

void RouteSdlAllocations() { SDL_SetMemoryFunctions(Malloc, Calloc, Realloc, Free); }

}  // namespace skin
}  // namespace corvio
