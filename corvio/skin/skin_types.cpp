// Parsing of the value forms used in skin descriptions and property bags.
#include "corvio/skin/skin_types.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

namespace corvio {
namespace skin {

Rect Intersect(const Rect& a, const Rect& b) {
  int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
  int x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
  if (x1 <= x0 || y1 <= y0) return Rect{};
  return Rect{x0, y0, x1 - x0, y1 - y0};
}

Rect Union(const Rect& a, const Rect& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
  int x1 = std::max(a.x + a.w, b.x + b.w), y1 = std::max(a.y + a.h, b.y + b.h);
  return Rect{x0, y0, x1 - x0, y1 - y0};
}

bool ParseInt(const std::string& text, int* out) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i == text.size()) return false;
  char* end = nullptr;
  long v = strtol(text.c_str() + i, &end, 10);
  while (end && *end == ' ') ++end;
  if (!end || *end != '\0' || end == text.c_str() + i) return false;
  if (v < -100000 || v > 100000) return false;
  *out = static_cast<int>(v);
  return true;
}

namespace {

bool ParseInts(const std::string& text, size_t count, std::vector<int>* out) {
  out->clear();
  size_t start = 0;
  while (true) {
    size_t comma = text.find(',', start);
    std::string part = text.substr(start, comma == std::string::npos ? std::string::npos
                                                                     : comma - start);
    int v = 0;
    if (!ParseInt(part, &v)) return false;
    out->push_back(v);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return out->size() == count;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ParseRect(const std::string& text, Rect* out) {
  std::vector<int> v;
  if (!ParseInts(text, 4, &v) || v[2] < 0 || v[3] < 0) return false;
  *out = Rect{v[0], v[1], v[2], v[3]};
  return true;
}

bool ParseSize(const std::string& text, int* w, int* h) {
  std::vector<int> v;
  if (!ParseInts(text, 2, &v) || v[0] <= 0 || v[1] <= 0 || v[0] > 8192 || v[1] > 8192)
    return false;
  *w = v[0];
  *h = v[1];
  return true;
}

bool ParsePair(const std::string& text, int lo, int hi, int* a, int* b) {
  std::vector<int> v;
  if (!ParseInts(text, 2, &v) || v[0] < lo || v[1] < lo || v[0] > hi || v[1] > hi) return false;
  *a = v[0];
  *b = v[1];
  return true;
}

bool ParseColor(const std::string& text, Color* out) {
  if (text.size() != 7 && text.size() != 9) return false;
  if (text[0] != '#') return false;
  uint8_t bytes[4];
  size_t n = (text.size() - 1) / 2;
  for (size_t i = 0; i < n; ++i) {
    int hi = HexDigit(text[1 + 2 * i]), lo = HexDigit(text[2 + 2 * i]);
    if (hi < 0 || lo < 0) return false;
    bytes[i] = static_cast<uint8_t>(hi * 16 + lo);
  }
  if (n == 3) {
    *out = Color{bytes[0], bytes[1], bytes[2], 255};
  } else {
    *out = Color{bytes[1], bytes[2], bytes[3], bytes[0]};
  }
  return true;
}

bool ParseBool(const std::string& text, bool* out) {
  if (text == "true") {
    *out = true;
    return true;
  }
  if (text == "false") {
    *out = false;
    return true;
  }
  return false;
}

bool ParseImageRef(const std::string& text, ImageRef* out) {
  ImageRef ref;
  ref.text = text;
  std::string rest = text;
  static const char kPrefix[] = "ONEIMAGE:";
  if (rest.compare(0, sizeof(kPrefix) - 1, kPrefix) == 0) rest = rest.substr(sizeof(kPrefix) - 1);
  size_t semi = rest.find(';');
  std::string mode;
  if (semi != std::string::npos) {
    mode = rest.substr(semi + 1);
    rest = rest.substr(0, semi);
  }
  if (mode.empty() || mode == "Stretch") {
    ref.mode = ImageMode::Stretch;
  } else if (mode == "Tile") {
    ref.mode = ImageMode::Tile;
  } else {
    return false;
  }
  if (rest.empty() && semi != std::string::npos) return false;  // ";Tile" without a file
  ref.file = rest;
  *out = ref;
  return true;
}

}  // namespace skin
}  // namespace corvio
