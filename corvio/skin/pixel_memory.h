// Memory for large pixel buffers (the canvas, a window-sized background). Touching fresh
// memory costs a trap per 4 KiB page, and on virtual machines a trap is dear: a 900x560
// picture is about 500 of them, milliseconds of the start-up. On Linux a large buffer is
// therefore an aligned mapping the kernel may back with 2 MiB pages (one trap); elsewhere,
// and for small buffers, it is the ordinary heap.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <new>
#include <vector>

namespace corvio {
namespace skin {

// Buffers from this size on are mapped on their own (Linux).
constexpr size_t kLargePixelBytes = size_t{1} << 20;

// Per system. Null when there is no memory; FreePixelMemory takes the size allocated.
void* AllocatePixelMemory(size_t bytes);
void FreePixelMemory(void* memory, size_t bytes);

// The C allocator's four calls with large blocks in pixel memory, for libraries that free
// without a size (SDL's window surfaces, stb_image's decoding buffers). They also take
// blocks of the C heap that were allocated before a library was pointed at them.
void* PixelMalloc(size_t bytes);
void* PixelCalloc(size_t count, size_t size);
void* PixelRealloc(void* memory, size_t bytes);
void PixelFree(void* memory);

template <typename T>
struct PixelAllocator {
  using value_type = T;
  PixelAllocator() = default;
  template <typename U>
  PixelAllocator(const PixelAllocator<U>&) {}
  // As std::allocator does, since std::vector expects it.
  T* allocate(size_t n) {
    void* memory = n > SIZE_MAX / sizeof(T) ? nullptr : AllocatePixelMemory(n * sizeof(T));
    if (!memory) throw std::bad_alloc();
    return static_cast<T*>(memory);
  }
  void deallocate(T* memory, size_t n) { FreePixelMemory(memory, n * sizeof(T)); }
  template <typename U>
  bool operator==(const PixelAllocator<U>&) const { return true; }
  template <typename U>
  bool operator!=(const PixelAllocator<U>&) const { return false; }
};

// RGBA bytes of an image or a canvas.
using PixelBytes = std::vector<uint8_t, PixelAllocator<uint8_t>>;

}  // namespace skin
}  // namespace corvio
