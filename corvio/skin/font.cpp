// The stb_truetype rasteriser (compiled privately here) over font bytes from a file or
// from the system, shared by every size and dialog.
#include "corvio/skin/font.h"

#include <string.h>

#include <mutex>

#define STBTT_STATIC
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb/stb_truetype.h>

#include "corvio/skin/font_source.h"
#include "corvio/skin/text_codec.h"
#include "corvio/skin/timeline.h"

namespace corvio {
namespace skin {

struct Font::Face {
  FontBytes bytes;
  stbtt_fontinfo info;
};

namespace {

uint32_t BigEndian32(const unsigned char* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// The rasteriser trusts the offsets inside the font: a face whose table directory or
// tables reach past the end of the bytes is refused before it reads there.
bool TablesInside(const FontBytes& bytes, int offset) {
  const size_t at = static_cast<size_t>(offset);
  if (at > bytes.size || bytes.size - at < 12) return false;
  const unsigned char* dir = bytes.data + at;
  const size_t tables = (size_t(dir[4]) << 8) | dir[5];
  if ((bytes.size - at - 12) / 16 < tables) return false;
  for (size_t i = 0; i < tables; ++i) {
    const unsigned char* entry = dir + 12 + 16 * i;
    const uint64_t start = BigEndian32(entry + 8), length = BigEndian32(entry + 12);
    if (start + length > bytes.size) return false;
  }
  return true;
}

std::shared_ptr<Font::Face> MakeFace(FontBytes bytes, const std::string& what, std::string* error) {
  auto face = std::make_shared<Font::Face>();
  face->bytes = std::move(bytes);
  const FontBytes& b = face->bytes;
  const bool collection = b.size >= 4 && memcmp(b.data, "ttcf", 4) == 0;
  const size_t header = collection ? 16 + 4 * static_cast<size_t>(b.faceIndex) : 12;
  const int offset = b.faceIndex < 0 || b.size < header || b.size > 0x7FFFFFFF
                         ? -1
                         : stbtt_GetFontOffsetForIndex(b.data, b.faceIndex);
  if (offset < 0 || !TablesInside(b, offset) || !stbtt_InitFont(&face->info, b.data, offset)) {
    *error = what + " is not a TrueType or OpenType font";
    return nullptr;
  }
  return face;
}

// Font bytes are read once per process: by path for files, by the family asked for from
// the system.
std::mutex g_faceMutex;
std::map<std::string, std::weak_ptr<Font::Face>> g_faces;

std::shared_ptr<Font::Face> CachedFace(const std::string& key) {
  auto it = g_faces.find(key);
  return it == g_faces.end() ? nullptr : it->second.lock();
}

}  // namespace

Font::~Font() = default;

std::shared_ptr<Font> Font::FromFace(std::shared_ptr<Face> face, int pixelSize) {
  std::shared_ptr<Font> font(new Font());
  font->face_ = std::move(face);
  font->pixelSize_ = pixelSize;
  const stbtt_fontinfo* info = &font->face_->info;
  font->scale_ = stbtt_ScaleForPixelHeight(info, static_cast<float>(pixelSize));
  int ascent = 0, descent = 0, gap = 0;
  stbtt_GetFontVMetrics(info, &ascent, &descent, &gap);
  font->ascent_ = static_cast<int>(ascent * font->scale_ + 0.5f);
  font->lineHeight_ = static_cast<int>((ascent - descent + gap) * font->scale_ + 0.5f);
  if (font->lineHeight_ <= 0) font->lineHeight_ = pixelSize;
  return font;
}

std::shared_ptr<Font> Font::Load(const std::string& file, int pixelSize, std::string* error) {
  std::lock_guard<std::mutex> lock(g_faceMutex);
  const std::string key = "file:" + file;
  std::shared_ptr<Face> face = CachedFace(key);
  if (!face) {
    FontBytes bytes;
    if (!ReadFontFile(file, &bytes, error)) return nullptr;
    face = MakeFace(std::move(bytes), "font file \"" + file + "\"", error);
    if (!face) return nullptr;
    g_faces[key] = face;
  }
  return FromFace(face, pixelSize);
}

std::shared_ptr<Font> Font::LoadSystem(const std::string& family, int pixelSize,
                                       std::string* error) {
  std::lock_guard<std::mutex> lock(g_faceMutex);
  const std::string key = "system:" + family;
  std::shared_ptr<Face> face = CachedFace(key);
  if (!face) {
    FontBytes bytes;
    std::string what;
    if (!FindSystemFont(family, &bytes, &what, error)) return nullptr;
    face = MakeFace(std::move(bytes), what, error);
    if (!face) return nullptr;
    g_faces[key] = face;
  }
  return FromFace(face, pixelSize);
}

bool Font::HasGlyph(uint32_t codepoint) const {
  return stbtt_FindGlyphIndex(&face_->info, static_cast<int>(codepoint)) != 0;
}

const Font::Glyph& Font::GlyphFor(uint32_t cp) {
  auto it = glyphs_.find(cp);
  if (it != glyphs_.end()) return it->second;
  SpanTimer timer("glyph_raster");
  Glyph g;
  int index = stbtt_FindGlyphIndex(&face_->info, static_cast<int>(cp));
  int advance = 0, lsb = 0;
  stbtt_GetGlyphHMetrics(&face_->info, index, &advance, &lsb);
  g.advance = static_cast<int>(advance * scale_ + 0.5f);
  int x0, y0, x1, y1;
  stbtt_GetGlyphBitmapBox(&face_->info, index, scale_, scale_, &x0, &y0, &x1, &y1);
  if (x1 > x0 && y1 > y0) {
    g.w = x1 - x0;
    g.h = y1 - y0;
    g.xoff = x0;
    g.yoff = y0;
    g.mask.assign(static_cast<size_t>(g.w) * g.h, 0);
    stbtt_MakeGlyphBitmap(&face_->info, g.mask.data(), g.w, g.h, g.w, scale_, scale_, index);
  }
  return glyphs_.emplace(cp, std::move(g)).first->second;
}

int Font::TextWidth(const std::vector<uint32_t>& cps, size_t from, size_t to) {
  int w = 0;
  for (size_t i = from; i < to; ++i) w += GlyphFor(cps[i]).advance;
  return w;
}

std::vector<std::pair<size_t, size_t>> Font::Lines(const std::vector<uint32_t>& cps, int width,
                                                   bool wrap) {
  std::vector<std::pair<size_t, size_t>> lines;
  size_t start = 0;
  while (start <= cps.size()) {
    size_t end = start;
    while (end < cps.size() && cps[end] != '\n') ++end;
    if (!wrap) {
      lines.emplace_back(start, end);
    } else {
      size_t s = start;
      do {
        size_t e = s;
        int w = 0;
        size_t lastSpace = 0;
        while (e < end) {
          int adv = GlyphFor(cps[e]).advance;
          if (w + adv > width && e > s) break;
          if (cps[e] == ' ') lastSpace = e;
          w += adv;
          ++e;
        }
        if (e < end && lastSpace > s) e = lastSpace + 1;  // break after a blank when there is one
        lines.emplace_back(s, e);
        s = e;
      } while (s < end);
    }
    if (end >= cps.size()) break;
    start = end + 1;
  }
  return lines;
}

void Font::Draw(Canvas* canvas, const std::string& utf8, const Rect& box, Color color,
                HAlign halign, VAlign valign, bool wrap, const Rect& clip) {
  if (utf8.empty() || color.Transparent()) return;
  std::vector<uint32_t> cps = DecodeUtf8(utf8);
  for (auto& cp : cps)
    if (cp == '\r' || cp == '\t') cp = ' ';
  auto lines = Lines(cps, box.w, wrap);
  int total = static_cast<int>(lines.size()) * lineHeight_;
  int y = box.y;
  if (valign == VAlign::Center) y = box.y + (box.h - total) / 2;
  if (valign == VAlign::Bottom) y = box.y + box.h - total;
  Rect area = Intersect(box, clip);
  for (const auto& line : lines) {
    int w = TextWidth(cps, line.first, line.second);
    int x = box.x;
    if (halign == HAlign::Center) x = box.x + (box.w - w) / 2;
    if (halign == HAlign::Right) x = box.x + box.w - w;
    for (size_t i = line.first; i < line.second; ++i) {
      const Glyph& g = GlyphFor(cps[i]);
      if (!g.mask.empty())
        canvas->DrawMask(g.mask.data(), g.w, g.h, g.w, x + g.xoff, y + ascent_ + g.yoff, color,
                         area);
      x += g.advance;
    }
    y += lineHeight_;
  }
}

}  // namespace skin
}  // namespace corvio
