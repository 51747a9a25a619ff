// Large pixel buffers on Linux: 2 MiB-aligned anonymous mappings, advised for huge pages.
// The advice is only that: where transparent huge pages are off, the mapping is used with
// 4 KiB pages, as the heap's would be.
#include <stdlib.h>
#include <sys/mman.h>

#include "corvio/skin/pixel_memory.h"

namespace corvio {
namespace skin {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

size_t RoundUp(size_t v, size_t to) { return (v + to - 1) / to * to; }

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

}  // namespace skin
}  // namespace corvio
