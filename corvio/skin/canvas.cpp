// Software drawing: fills, frames, stretched or tiled images and glyph masks, all alpha
// blended over an opaque canvas.
#include "corvio/skin/canvas.h"

#include <math.h>
#include <string.h>

#include <algorithm>

namespace corvio {
namespace skin {

void Canvas::Resize(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  // Opaque black, written a pixel (one 32-bit word) at a time: a loop over every fourth
  // byte cost the start-up a noticeable part of a millisecond.
  const size_t count = static_cast<size_t>(width_) * height_;
  pixels_.resize(count * 4);
  const uint8_t black[4] = {0, 0, 0, 255};
  uint32_t word;
  memcpy(&word, black, sizeof word);
  uint8_t* out = pixels_.data();
  for (size_t i = 0; i < count; ++i) memcpy(out + 4 * i, &word, sizeof word);
}

uint32_t Canvas::PixelAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  const uint8_t* p = &pixels_[(static_cast<size_t>(y) * width_ + x) * 4];
  return (uint32_t(p[3]) << 24) | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
}

Rect Canvas::Clip(const Rect& clip) const { return Intersect(clip, Rect{0, 0, width_, height_}); }

namespace {

// One pixel of straight-alpha colour over an opaque pixel; inlined into every loop, which
// runs once per pixel of the window on a full redraw.
inline void BlendPixel(uint8_t* p, uint8_t r, uint8_t g, uint8_t b, unsigned alpha) {
  if (alpha >= 255) {
    p[0] = r;
    p[1] = g;
    p[2] = b;
    return;
  }
  if (alpha == 0) return;
  unsigned inv = 255 - alpha;
  p[0] = static_cast<uint8_t>((r * alpha + p[0] * inv + 127) / 255);
  p[1] = static_cast<uint8_t>((g * alpha + p[1] * inv + 127) / 255);
  p[2] = static_cast<uint8_t>((b * alpha + p[2] * inv + 127) / 255);
}

}  // namespace

uint8_t* Canvas::Row(int y) { return &pixels_[static_cast<size_t>(y) * width_ * 4]; }

void Canvas::FillRect(const Rect& r, Color c, const Rect& clip) {
  if (c.Transparent()) return;
  Rect area = Intersect(r, Clip(clip));
  if (c.a == 255 && !area.Empty()) {
    // Opaque: the first row is filled, the others copied from it (the same bytes as blending).
    uint8_t* first = Row(area.y) + static_cast<size_t>(area.x) * 4;
    for (int x = 0; x < area.w; ++x) BlendPixel(first + 4 * x, c.r, c.g, c.b, 255);
    for (int y = area.y + 1; y < area.y + area.h; ++y)
      memcpy(Row(y) + static_cast<size_t>(area.x) * 4, first, static_cast<size_t>(area.w) * 4);
    return;
  }
  for (int y = area.y; y < area.y + area.h; ++y) {
    uint8_t* p = Row(y) + static_cast<size_t>(area.x) * 4;
    for (int x = 0; x < area.w; ++x, p += 4) BlendPixel(p, c.r, c.g, c.b, c.a);
  }
}

void Canvas::FrameRoundRect(const Rect& r, int radius, int thickness, Color c, const Rect& clip) {
  if (r.Empty() || c.Transparent()) return;
  const float rad = static_cast<float>(std::min(radius, std::min(r.w, r.h) / 2));
  const float halfW = r.w / 2.0f, halfH = r.h / 2.0f, t = static_cast<float>(thickness);
  Rect area = Intersect(r, Clip(clip));
  for (int y = area.y; y < area.y + area.h; ++y) {
    uint8_t* p = Row(y) + static_cast<size_t>(area.x) * 4;
    const float qy = fabsf(y + 0.5f - r.y - halfH) - halfH + rad;
    for (int x = area.x; x < area.x + area.w; ++x, p += 4) {
      const float qx = fabsf(x + 0.5f - r.x - halfW) - halfW + rad;
      // Signed distance to the rounded outline, negative inside.
      const float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
      const float d = sqrtf(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - rad;
      const float cover = std::min(std::max(0.5f + std::min(-d, d + t), 0.0f), 1.0f);
      if (cover > 0) BlendPixel(p, c.r, c.g, c.b, static_cast<unsigned>(c.a * cover + 0.5f));
    }
  }
}

void Canvas::FrameRect(const Rect& r, Color c, const Rect& clip) {
  if (r.Empty()) return;
  FillRect(Rect{r.x, r.y, r.w, 1}, c, clip);
  FillRect(Rect{r.x, r.y + r.h - 1, r.w, 1}, c, clip);
  FillRect(Rect{r.x, r.y + 1, 1, r.h - 2}, c, clip);
  FillRect(Rect{r.x + r.w - 1, r.y + 1, 1, r.h - 2}, c, clip);
}

void Canvas::DrawImage(const Image& image, const Rect& dest, ImageMode mode, const Rect& clip) {
  if (image.width <= 0 || image.height <= 0 || dest.Empty()) return;
  Rect area = Intersect(dest, Clip(clip));
  if (area.Empty()) return;
  image.WaitDecoded();
  if (image.rgba.size() != static_cast<size_t>(image.width) * image.height * 4) return;
  if (image.opaque && (mode == ImageMode::Tile || (dest.w == image.width && dest.h == image.height))) {
    // Source pixels one to one and nothing to blend: rows are copied in runs (a background
    // is the whole window, every full redraw).
    for (int y = area.y; y < area.y + area.h; ++y) {
      const int sy = (y - dest.y) % image.height;
      const uint8_t* source = &image.rgba[static_cast<size_t>(sy) * image.width * 4];
      for (int x = area.x; x < area.x + area.w;) {
        const int sx = (x - dest.x) % image.width;
        const int run = std::min(area.x + area.w - x, image.width - sx);
        memcpy(Row(y) + static_cast<size_t>(x) * 4, source + static_cast<size_t>(sx) * 4, static_cast<size_t>(run) * 4);
        x += run;
      }
    }
    return;
  }
  // The source column of each destination column, worked out once for all rows.
  std::vector<int> columns(static_cast<size_t>(area.w));
  for (int i = 0; i < area.w; ++i) {
    const int x = area.x + i;
    columns[i] = mode == ImageMode::Tile
                     ? (x - dest.x) % image.width
                     : static_cast<int>(static_cast<int64_t>(x - dest.x) * image.width / dest.w);
  }
  for (int y = area.y; y < area.y + area.h; ++y) {
    int sy = mode == ImageMode::Tile
                 ? (y - dest.y) % image.height
                 : static_cast<int>(static_cast<int64_t>(y - dest.y) * image.height / dest.h);
    const uint8_t* source = &image.rgba[static_cast<size_t>(sy) * image.width * 4];
    uint8_t* p = Row(y) + static_cast<size_t>(area.x) * 4;
    for (int i = 0; i < area.w; ++i, p += 4) {
      const uint8_t* s = source + static_cast<size_t>(columns[i]) * 4;
      BlendPixel(p, s[0], s[1], s[2], s[3]);
    }
  }
}

void Canvas::DrawMask(const uint8_t* mask, int mw, int mh, int stride, int x, int y, Color c,
                      const Rect& clip) {
  Rect area = Intersect(Rect{x, y, mw, mh}, Clip(clip));
  for (int py = area.y; py < area.y + area.h; ++py) {
    const uint8_t* m = mask + static_cast<size_t>(py - y) * stride + (area.x - x);
    uint8_t* p = Row(py) + static_cast<size_t>(area.x) * 4;
    for (int i = 0; i < area.w; ++i, p += 4) BlendPixel(p, c.r, c.g, c.b, m[i] * c.a / 255u);
  }
}

}  // namespace skin
}  // namespace corvio
