// An RGBA pixel buffer that the renderer draws into and backends present.
#pragma once

#include <stdint.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "corvio/skin/pixel_memory.h"
#include "corvio/skin/skin_types.h"

namespace corvio {
namespace skin {

struct Image {
  int width = 0;
  int height = 0;
  PixelBytes rgba;     // straight alpha, rows top to bottom; empty if it failed
  bool opaque = false;  // every alpha is 255 (set with rgba): drawn by copying rows
  // An image named by a skin is decoded when it is first needed, on whichever thread asks
  // first (a drawing, or a decode started ahead for the first paint); a second asker waits
  // for the first. Call before reading rgba.
  struct Pending {
    std::once_flag once;
    std::atomic<bool> done{false};
  };
  std::function<void()> decode;
  std::shared_ptr<Pending> pending;
  void WaitDecoded() const {
    if (!pending || pending->done.load(std::memory_order_acquire)) return;
    std::call_once(pending->once, decode);
    pending->done.store(true, std::memory_order_release);
  }
  bool Decoded() const { return !pending || pending->done.load(std::memory_order_acquire); }
};

class Canvas {
 public:
  void Resize(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }
  const uint8_t* Pixels() const { return pixels_.data(); }  // RGBA, opaque
  uint32_t PixelAt(int x, int y) const;                     // 0xAARRGGBB

  // Every drawing call is clipped to the canvas and to clip.
  void FillRect(const Rect& r, Color c, const Rect& clip);
  void FrameRect(const Rect& r, Color c, const Rect& clip);
  // A frame of the given thickness just inside r, its corners rounded with radius,
  // anti-aliased; radius 0 and thickness 1 is FrameRect.
  void FrameRoundRect(const Rect& r, int radius, int thickness, Color c, const Rect& clip);
  void DrawImage(const Image& image, const Rect& dest, ImageMode mode, const Rect& clip);
  // Blends a coverage mask (one byte per pixel) in colour c with its top left at x, y.
  void DrawMask(const uint8_t* mask, int mw, int mh, int stride, int x, int y, Color c,
                const Rect& clip);

 private:
  uint8_t* Row(int y);  // the first pixel of row y
  Rect Clip(const Rect& clip) const;
  int width_ = 0;
  int height_ = 0;
  PixelBytes pixels_;
};

}  // namespace skin
}  // namespace corvio
