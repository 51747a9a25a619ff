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
  // The skin's twice-as-large file of this image ("name@2x.png"), looked for when it is
  // first drawn above one pixel per unit; null when the skin has none.
  std::function<std::shared_ptr<Image>()> findTwice;
  // Drawing above one pixel per unit: what findTwice gave, and the last copies resampled to
  // a device size (a few, for an image shown at several sizes).
  struct DeviceCopies {
    bool looked = false;
    std::shared_ptr<Image> twice;
    std::vector<std::shared_ptr<Image>> resized;
  };
  mutable DeviceCopies device;
  // What findTwice gives, asked once (on the user-interface thread, as all drawing).
  const std::shared_ptr<Image>& Twice() const;
  void WaitDecoded() const {
    if (!pending || pending->done.load(std::memory_order_acquire)) return;
    std::call_once(pending->once, decode);
    pending->done.store(true, std::memory_order_release);
  }
  bool Decoded() const { return !pending || pending->done.load(std::memory_order_acquire); }
};

// The pixels of a window: drawing calls take the skin's units, which the canvas maps to
// its device pixels at its scale (2: a unit is two pixels wide and high).
class Canvas {
 public:
  // width and height in units; the pixels are their scaled size.
  void Resize(int width, int height, float scale = 1.0f);
  int Width() const { return width_; }  // in device pixels, as are Height, Pixels, PixelAt
  int Height() const { return height_; }
  float Scale() const { return scale_; }
  int UnitsWide() const { return unitsWide_; }
  int UnitsHigh() const { return unitsHigh_; }
  // The device pixels a rectangle in units covers (edges rounded to the nearest pixel).
  Rect ToDevice(const Rect& r) const { return scale_ == 1.0f ? r : Scaled(r); }
  const uint8_t* Pixels() const { return pixels_.data(); }  // RGBA, opaque
  uint32_t PixelAt(int x, int y) const;                     // 0xAARRGGBB

  // Every drawing call is in units and clipped to the canvas and to clip.
  void FillRect(const Rect& r, Color c, const Rect& clip);
  void FrameRect(const Rect& r, Color c, const Rect& clip);
  // A frame of the given thickness just inside r, its corners rounded with radius,
  // anti-aliased; radius 0 and thickness 1 is FrameRect.
  void FrameRoundRect(const Rect& r, int radius, int thickness, Color c, const Rect& clip);
  void DrawImage(const Image& image, const Rect& dest, ImageMode mode, const Rect& clip);
  // Blends a coverage mask (one byte per pixel) in colour c with its top left at x, y;
  // unlike the calls above, x, y and clip are in device pixels (text is rasterised at them).
  void DrawMask(const uint8_t* mask, int mw, int mh, int stride, int x, int y, Color c,
                const Rect& clip);

 private:
  uint8_t* Row(int y);  // the first pixel of row y
  Rect Clip(const Rect& clip) const;
  Rect Scaled(const Rect& r) const;
  void FillDevice(const Rect& r, Color c, const Rect& clip);
  void DrawDevice(const Image& image, const Rect& dest, ImageMode mode, const Rect& clip);
  int width_ = 0;
  int height_ = 0;
  float scale_ = 1.0f;
  int unitsWide_ = 0, unitsHigh_ = 0;
  PixelBytes pixels_;
};

}  // namespace skin
}  // namespace corvio
