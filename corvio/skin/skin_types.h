// Small value types of the skin engine: rectangles, colours and image references.
#pragma once

#include <stdint.h>

#include <string>

namespace corvio {
namespace skin {

struct Rect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  bool Contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
  bool Empty() const { return w <= 0 || h <= 0; }
};

Rect Intersect(const Rect& a, const Rect& b);
Rect Union(const Rect& a, const Rect& b);  // an empty side is ignored

// Straight (not premultiplied) RGBA.
struct Color {
  uint8_t r = 0, g = 0, b = 0, a = 0;
  bool Transparent() const { return a == 0; }
};

// How an image fills its control.
enum class ImageMode { Stretch, Tile };

struct ImageRef {
  std::string file;  // relative to the skin folder; empty: no image
  ImageMode mode = ImageMode::Stretch;
  std::string text;  // the value as written, reported by dumps
};

// Parsers for attribute and property values; false on a malformed value.
bool ParseRect(const std::string& text, Rect* out);
bool ParseSize(const std::string& text, int* w, int* h);
bool ParseColor(const std::string& text, Color* out);
bool ParseBool(const std::string& text, bool* out);
bool ParseImageRef(const std::string& text, ImageRef* out);
bool ParseInt(const std::string& text, int* out);
// "a,b", each between lo and hi.
bool ParsePair(const std::string& text, int lo, int hi, int* a, int* b);

}  // namespace skin
}  // namespace corvio
