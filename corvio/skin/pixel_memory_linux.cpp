// Large pixel buffers on Linux: 2 MiB-aligned anonymous mappings, advised for huge pages.
// The advice is only that: where transparent huge pages are off, the mapping is used with
// 4 KiB pages, as the heap's would be.
#include <malloc.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>

#include <algorithm>
#include <mutex>

#include "corvio/skin/pixel_memory.h"

namespace corvio {
namespace skin {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

size_t RoundUp(size_t v, size_t to) { return (v + to - 1) / to * to; }

// The size-less calls' large blocks, with their sizes: a few at a time (a window surface,
// an image being decoded); past this many, blocks come from the heap.
constexpr int kMaxMappings = 32;

struct Mapping {
  void* at = nullptr;
  size_t bytes = 0;
};

struct Mappings {
  std::mutex lock;
  Mapping list[kMaxMappings];
};

// Never destroyed: libraries free their last blocks while the process's statics go away.
Mappings& Known() {
  static Mappings* known = new Mappings;
  return *known;
}

// The size of the mapping at memory, or 0 when it is not one; forget also drops it.
size_t MappedSize(void* memory, bool forget) {
  if (!memory) return 0;
  Mappings& m = Known();
  std::lock_guard<std::mutex> hold(m.lock);
  for (Mapping& entry : m.list) {
    if (entry.at != memory) continue;
    const size_t bytes = entry.bytes;
    if (forget) entry = Mapping{};
    return bytes;
  }
  return 0;
}

// A new remembered mapping of bytes (zeroed, as fresh mappings are), or null for the heap.
void* Map(size_t bytes) {
  if (bytes < kLargePixelBytes) return nullptr;
  void* memory = AllocatePixelMemory(bytes);
  if (!memory) return nullptr;
  Mappings& m = Known();
  std::lock_guard<std::mutex> hold(m.lock);
  for (Mapping& entry : m.list) {
    if (entry.at) continue;
    entry = Mapping{memory, bytes};
    return memory;
  }
  FreePixelMemory(memory, bytes);
  return nullptr;
}

}  // namespace

void* AllocatePixelMemory(size_t bytes) {
  if (bytes < kLargePixelBytes) return malloc(bytes ? bytes : 1);
  if (bytes > SIZE_MAX - 2 * kHugePage) return nullptr;
  const size_t size = RoundUp(bytes, kHugePage);
  // One page more than needed, so that an aligned run can be cut out of it.
  void* raw = mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = RoundUp(start, kHugePage);
  if (aligned > start) munmap(raw, aligned - start);
  const uintptr_t end = start + size + kHugePage;
  if (end > aligned + size) munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
  madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
  return reinterpret_cast<void*>(aligned);
}

void FreePixelMemory(void* memory, size_t bytes) {
  if (!memory) return;
  if (bytes < kLargePixelBytes) {
    free(memory);
    return;
  }
  munmap(memory, RoundUp(bytes, kHugePage));
}

void* PixelMalloc(size_t bytes) {
  void* memory = Map(bytes);
  return memory ? memory : malloc(bytes);
}

void* PixelCalloc(size_t count, size_t size) {
  if (size && count > SIZE_MAX / size) return nullptr;
  void* memory = Map(count * size);
  return memory ? memory : calloc(count, size);
}

void* PixelRealloc(void* memory, size_t bytes) {
  if (!memory) return PixelMalloc(bytes);
  const size_t mapped = MappedSize(memory, false);
  if (!mapped && bytes < kLargePixelBytes) return realloc(memory, bytes);
  // Between the heap and a mapping, or from one mapping to another: a new block.
  void* moved = PixelMalloc(bytes);
  if (!moved) return nullptr;
  memcpy(moved, memory, std::min(bytes, mapped ? mapped : malloc_usable_size(memory)));
  PixelFree(memory);
  return moved;
}

void PixelFree(void* memory) {
  if (const size_t bytes = MappedSize(memory, true)) {
    FreePixelMemory(memory, bytes);
    return;
  }
  free(memory);
}

}  // namespace skin
}  // namespace corvio
