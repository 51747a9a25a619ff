// Software drawing: fills, frames, stretched or tiled images and glyph masks, all alpha
// blended over an opaque canvas.
#include "corvio/skin/canvas.h"

#include <math.h>
#include <string.h>

#include <algorithm>

namespace corvio {
namespace skin {

void Canvas::Resize(int width, int height, float scale) {
  scale_ = scale > 0 ? scale : 1.0f;
  unitsWide_ = std::max(0, width);
  unitsHigh_ = std::max(0, height);
  width_ = scale_ == 1.0f ? unitsWide_ : static_cast<int>(lroundf(unitsWide_ * scale_));
  height_ = scale_ == 1.0f ? unitsHigh_ : static_cast<int>(lroundf(unitsHigh_ * scale_));
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

Rect Canvas::Scaled(const Rect& r) const {
  // Both edges are rounded, so neighbouring rectangles still meet without a gap.
  auto at = [this](int64_t v) {
    const double d = std::floor(static_cast<double>(v) * scale_ + 0.5);
    return static_cast<int64_t>(std::max(-1e9, std::min(1e9, d)));
  };
  const int64_t x0 = at(r.x), y0 = at(r.y), x1 = at(int64_t{r.x} + r.w), y1 = at(int64_t{r.y} + r.h);
  return Rect{static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0), static_cast<int>(y1 - y0)};
}

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
  if (scale_ == 1.0f) FillDevice(r, c, clip);
  else FillDevice(Scaled(r), c, Scaled(clip));
}

void Canvas::FillDevice(const Rect& r, Color c, const Rect& clip) {
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

void Canvas::FrameRoundRect(const Rect& units, int radius, int thickness, Color c, const Rect& unitClip) {
  const Rect r = ToDevice(units), clip = ToDevice(unitClip);
  if (scale_ != 1.0f) {
    radius = static_cast<int>(lroundf(radius * scale_));
    thickness = std::max(1, static_cast<int>(lroundf(thickness * scale_)));
  }
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

namespace {

// One axis of a resampling: for each output pixel, its first source pixel and the weights
// of the source pixels from there (a tent filter as wide as the larger of a source and an
// output pixel: bilinear when enlarging, an area average when reducing).
struct Taps {
  std::vector<int> first;
  std::vector<int> count;
  std::vector<float> weights;  // count[i] of them for output pixel i, in order
  int widest = 0;
};

Taps MakeTaps(int from, int to) {
  Taps t;
  const double ratio = static_cast<double>(from) / to;
  const double support = std::max(1.0, ratio);
  for (int i = 0; i < to; ++i) {
    const double center = (i + 0.5) * ratio - 0.5;
    int lo = static_cast<int>(std::ceil(center - support)), hi = static_cast<int>(std::floor(center + support));
    lo = std::max(lo, 0);
    hi = std::min(hi, from - 1);
    double sum = 0;
    const size_t start = t.weights.size();
    for (int s = lo; s <= hi; ++s) {
      const double w = std::max(0.0, 1.0 - std::fabs(s - center) / support);
      t.weights.push_back(static_cast<float>(w));
      sum += w;
    }
    if (sum <= 0) {  // beyond the edge: the nearest pixel
      lo = hi = std::min(std::max(static_cast<int>(std::lround(center)), 0), from - 1);
      t.weights.resize(start);
      t.weights.push_back(1.0f);
      sum = 1;
    }
    for (size_t k = start; k < t.weights.size(); ++k) t.weights[k] = static_cast<float>(t.weights[k] / sum);
    t.first.push_back(lo);
    t.count.push_back(hi - lo + 1);
    t.widest = std::max(t.widest, hi - lo + 1);
  }
  return t;
}

// source resampled to w x h, in premultiplied light so that transparent pixels lend no colour.
std::shared_ptr<Image> Resampled(const Image& source, int w, int h) {
  const Taps xs = MakeTaps(source.width, w), ys = MakeTaps(source.height, h);
  // Rows first: each source row to w pixels (premultiplied, as floats).
  std::vector<float> rows(static_cast<size_t>(source.height) * w * 4);
  for (int y = 0; y < source.height; ++y) {
    const uint8_t* in = &source.rgba[static_cast<size_t>(y) * source.width * 4];
    float* out = &rows[static_cast<size_t>(y) * w * 4];
    size_t k = 0;
    for (int x = 0; x < w; ++x, out += 4) {
      float acc[4] = {0, 0, 0, 0};
      for (int j = 0; j < xs.count[x]; ++j, ++k) {
        const uint8_t* p = in + static_cast<size_t>(xs.first[x] + j) * 4;
        const float a = p[3] * xs.weights[k];
        acc[0] += p[0] * a;
        acc[1] += p[1] * a;
        acc[2] += p[2] * a;
        acc[3] += a;
      }
      for (int c = 0; c < 4; ++c) out[c] = acc[c];
    }
  }
  auto image = std::make_shared<Image>();
  image->width = w;
  image->height = h;
  image->rgba.resize(static_cast<size_t>(w) * h * 4);
  bool opaque = true;
  size_t k = 0;
  for (int y = 0; y < h; ++y) {
    uint8_t* out = &image->rgba[static_cast<size_t>(y) * w * 4];
    for (int x = 0; x < w; ++x, out += 4) {
      float acc[4] = {0, 0, 0, 0};
      for (int j = 0; j < ys.count[y]; ++j) {
        const float* p = &rows[(static_cast<size_t>(ys.first[y] + j) * w + x) * 4];
        const float wt = ys.weights[k + j];
        for (int c = 0; c < 4; ++c) acc[c] += p[c] * wt;
      }
      const float a = acc[3];
      out[3] = static_cast<uint8_t>(std::min(255.0f, a + 0.5f));
      for (int c = 0; c < 3; ++c)
        out[c] = a > 0 ? static_cast<uint8_t>(std::min(255.0f, acc[c] / a + 0.5f)) : 0;
      opaque = opaque && out[3] == 255;
    }
    k += ys.count[y];
  }
  image->opaque = opaque;
  return image;
}

bool Usable(const Image& image) {
  if (image.width <= 0 || image.height <= 0) return false;
  image.WaitDecoded();
  return image.rgba.size() == static_cast<size_t>(image.width) * image.height * 4;
}

// image at w x h device pixels: its skin's twice-as-large file when that has the size,
// else the sharper of the two resampled (kept for the next drawing).
const Image* DeviceImage(const Image& image, int w, int h, float scale) {
  Image::DeviceCopies& copies = image.device;
  const Image* source = &image;
  if (scale > 1.0f && image.Twice() && Usable(*copies.twice)) source = copies.twice.get();
  if (source->width == w && source->height == h) return source;
  for (const auto& copy : copies.resized)
    if (copy->width == w && copy->height == h) return copy.get();
  if (!Usable(*source)) return nullptr;
  if (copies.resized.size() >= 4) copies.resized.erase(copies.resized.begin());
  copies.resized.push_back(Resampled(*source, w, h));
  return copies.resized.back().get();
}

}  // namespace

const std::shared_ptr<Image>& Image::Twice() const {
  if (!device.looked && findTwice) {
    device.looked = true;
    device.twice = findTwice();
  }
  return device.twice;
}

void Canvas::DrawImage(const Image& image, const Rect& dest, ImageMode mode, const Rect& clip) {
  if (scale_ == 1.0f) return DrawDevice(image, dest, mode, clip);
  if (image.width <= 0 || image.height <= 0) return;
  const Rect d = Scaled(dest), c = Scaled(clip);
  if (Intersect(d, Clip(c)).Empty()) return;
  // A tile keeps its size in units; a stretched image fills the device rectangle.
  const int w = mode == ImageMode::Tile ? std::max(1, static_cast<int>(lroundf(image.width * scale_))) : d.w;
  const int h = mode == ImageMode::Tile ? std::max(1, static_cast<int>(lroundf(image.height * scale_))) : d.h;
  if (const Image* device = DeviceImage(image, w, h, scale_)) DrawDevice(*device, d, mode, c);
}

void Canvas::DrawDevice(const Image& image, const Rect& dest, ImageMode mode, const Rect& clip) {
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
