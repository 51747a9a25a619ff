// FreeType, the rasteriser on both systems (hinted, so stems land on whole pixels), over
// font bytes from a file or from the system, shared by every size and dialog.
#include "corvio/skin/font.h"

#include <math.h>
#include <string.h>

#include <algorithm>
#include <mutex>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SIZES_H
#include FT_SYNTHESIS_H

#include "corvio/report.h"
#include "corvio/skin/font_source.h"
#include "corvio/skin/text_codec.h"
#include "corvio/skin/timeline.h"

namespace corvio {
namespace skin {

// One font file's face. FreeType's objects of one face are not for two threads at once:
// every use of the face or of one of its sizes holds `lock`.
struct Font::Face {
  FontBytes bytes;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  std::mutex lock;
  ~Face() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
};

struct Font::Scaled {
  FT_Size size = nullptr;
};

namespace {

std::shared_ptr<Font::Face> MakeFace(FontBytes bytes, const std::string& what, std::string* error) {
  auto face = std::make_shared<Font::Face>();
  face->bytes = std::move(bytes);
  const FontBytes& b = face->bytes;
  // A library per face: faces are then independent of each other's threads.
  if (b.faceIndex < 0 || b.size > 0x7FFFFFFF || FT_Init_FreeType(&face->library) != 0 ||
      FT_New_Memory_Face(face->library, b.data, static_cast<FT_Long>(b.size), b.faceIndex,
                         &face->face) != 0 ||
      !FT_IS_SCALABLE(face->face) || FT_Select_Charmap(face->face, FT_ENCODING_UNICODE) != 0) {
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

int Pixels(FT_Pos value26_6) { return static_cast<int>((value26_6 + 32) >> 6); }

}  // namespace

Font::~Font() {
  if (scaled_ && scaled_->size) {
    std::lock_guard<std::mutex> lock(face_->lock);
    FT_Done_Size(scaled_->size);
  }
}

std::shared_ptr<Font> Font::FromFace(std::shared_ptr<Face> face, int pixelSize, std::string* error,
                                     bool em) {
  std::shared_ptr<Font> font(new Font());
  font->face_ = std::move(face);
  font->pixelSize_ = pixelSize;
  font->em_ = em;
  font->scaled_ = std::make_unique<Scaled>();
  std::lock_guard<std::mutex> lock(font->face_->lock);
  FT_Face f = font->face_->face;
  // The skin's size names the height from the highest ascender to the lowest descender;
  // a web page's names the em.
  FT_Size_RequestRec request = {em ? FT_SIZE_REQUEST_TYPE_NOMINAL : FT_SIZE_REQUEST_TYPE_REAL_DIM, 0,
                                static_cast<FT_Long>(pixelSize) << 6, 0, 0};
  if (pixelSize <= 0 || FT_New_Size(f, &font->scaled_->size) != 0 ||
      FT_Activate_Size(font->scaled_->size) != 0 || FT_Request_Size(f, &request) != 0) {
    *error = "font size " + std::to_string(pixelSize) + " cannot be drawn";
    return nullptr;
  }
  const FT_Size_Metrics& m = font->scaled_->size->metrics;
  font->ascent_ = Pixels(m.ascender);
  font->lineHeight_ = Pixels(m.height);
  if (font->lineHeight_ <= 0) font->lineHeight_ = pixelSize;
  font->xHeight_ = std::max(1, font->ascent_ / 2);
  return font;
}

std::shared_ptr<Font> Font::Variant(int emPixels, bool bold, bool italic, std::string* error) const {
  std::shared_ptr<Font> font = FromFace(face_, emPixels, error, true);
  if (!font) return nullptr;
  font->bold_ = bold;
  font->italic_ = italic;
  // A page's layout wants the real x-height; the skin's fonts never ask, so start-up is
  // spared the glyph load.
  std::lock_guard<std::mutex> lock(face_->lock);
  FT_Face f = face_->face;
  if (FT_Activate_Size(font->scaled_->size) == 0 && FT_Load_Char(f, 'x', FT_LOAD_DEFAULT) == 0)
    font->xHeight_ = Pixels(f->glyph->metrics.height);
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
  return FromFace(face, pixelSize, error);
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
    // The system's best match for Chinese may still lack it (no such font installed):
    // every text would be boxes, so say once what is missing.
    static bool warned = false;
    if (family.empty() && !warned &&
        (!FT_Get_Char_Index(face->face, 0x5927) || !FT_Get_Char_Index(face->face, 0x533A))) {
      warned = true;
      ReportF("[Corvio_Skin]",
              "%s has no Chinese characters (zh-cn coverage); texts show boxes until a Chinese "
              "font is installed (Debian: fonts-wqy-microhei)",
              what.c_str());
    }
  }
  return FromFace(face, pixelSize, error);
}

std::string Font::FamilyName() const {
  std::lock_guard<std::mutex> lock(face_->lock);
  return face_->face->family_name ? face_->face->family_name : "";
}

bool Font::HasGlyph(uint32_t codepoint) const {
  std::lock_guard<std::mutex> lock(face_->lock);
  return FT_Get_Char_Index(face_->face, codepoint) != 0;
}

const Font::Glyph& Font::GlyphFor(uint32_t cp) {
  auto it = glyphs_.find(cp);
  if (it != glyphs_.end()) return it->second;
  if (fallback_ && cp > 0x7F && !HasGlyph(cp) && fallback_->HasGlyph(cp))
    return glyphs_.emplace(cp, fallback_->GlyphFor(cp)).first->second;
  SpanTimer timer("glyph_raster");
  Glyph g;
  {
    std::lock_guard<std::mutex> lock(face_->lock);
    FT_Face f = face_->face;
    // Hinted outlines, rendered as 8-bit coverage; a code point the face lacks draws its
    // missing-glyph box, as before.
    bool loaded = FT_Activate_Size(scaled_->size) == 0 &&
                  FT_Load_Glyph(f, FT_Get_Char_Index(f, cp), FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL) == 0;
    if (loaded && bold_) FT_GlyphSlot_Embolden(f->glyph);
    if (loaded && italic_) FT_GlyphSlot_Oblique(f->glyph);
    if (loaded && FT_Render_Glyph(f->glyph, FT_RENDER_MODE_NORMAL) == 0) {
      const FT_GlyphSlot slot = f->glyph;
      const FT_Bitmap& bitmap = slot->bitmap;
      g.advance = Pixels(slot->advance.x);
      if (bitmap.width > 0 && bitmap.rows > 0 && bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
        g.w = static_cast<int>(bitmap.width);
        g.h = static_cast<int>(bitmap.rows);
        g.xoff = slot->bitmap_left;
        g.yoff = -slot->bitmap_top;
        g.mask.resize(static_cast<size_t>(g.w) * g.h);
        for (int row = 0; row < g.h; ++row)
          memcpy(&g.mask[static_cast<size_t>(row) * g.w], bitmap.buffer + row * bitmap.pitch, g.w);
      }
    }
  }
  return glyphs_.emplace(cp, std::move(g)).first->second;
}

int Font::TextWidth(const std::vector<uint32_t>& cps, size_t from, size_t to) {
  int w = 0;
  for (size_t i = from; i < to; ++i) w += GlyphFor(cps[i]).advance;
  return w;
}

namespace {

// Letters, digits and the marks of addresses: a run of them is one word that a line
// break does not split ("www.zent.example.com", "10.1.2.3:7000").
bool WordChar(uint32_t cp) {
  return (cp >= '0' && cp <= '9') || (cp >= 'A' && cp <= 'Z') || (cp >= 'a' && cp <= 'z') ||
         cp == '.' || cp == ':' || cp == '/' || cp == '-' || cp == '_';
}

}  // namespace

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
        size_t lastBreak = s;  // the last place after s where this line may end
        while (e < end) {
          int adv = GlyphFor(cps[e]).advance;
          if (w + adv > width && e > s) break;
          w += adv;
          ++e;
          if (e < end && !(WordChar(cps[e - 1]) && WordChar(cps[e]))) lastBreak = e;
        }
        if (e < end && lastBreak > s) e = lastBreak;  // else a word longer than a line is cut
        lines.emplace_back(s, e);
        s = e;
        while (s < end && cps[s] == ' ') ++s;  // a blank at a break starts no line
      } while (s < end);
    }
    if (end >= cps.size()) break;
    start = end + 1;
  }
  return lines;
}

int Font::TextWidth(const std::string& utf8) {
  std::vector<uint32_t> cps = DecodeUtf8(utf8);
  int widest = 0;
  for (const auto& line : Lines(cps, 0, false))
    widest = std::max(widest, TextWidth(cps, line.first, line.second));
  return widest;
}

int Font::TextWidthAt(const std::string& utf8, float scale) {
  std::shared_ptr<Font> scaled = scale == 1.0f ? nullptr : AtScale(scale);
  if (!scaled) return TextWidth(utf8);
  return static_cast<int>(ceilf(scaled->TextWidth(utf8) / scale));
}

std::vector<std::string> Font::WrapLines(const std::string& utf8, int width) {
  std::vector<uint32_t> cps = DecodeUtf8(utf8);
  std::vector<std::string> out;
  for (const auto& line : Lines(cps, width, true)) {
    out.emplace_back();
    for (size_t i = line.first; i < line.second; ++i) AppendUtf8(cps[i], &out.back());
  }
  return out;
}

std::shared_ptr<Font> Font::AtScale(float scale) {
  if (atScale_ && atScaleOf_ == scale) return atScale_;
  std::string error;
  std::shared_ptr<Font> font = FromFace(face_, static_cast<int>(lroundf(pixelSize_ * scale)), &error, em_);
  if (!font) return nullptr;
  font->bold_ = bold_;
  font->italic_ = italic_;
  if (fallback_) font->fallback_ = fallback_->AtScale(scale);
  atScale_ = font;
  atScaleOf_ = scale;
  return font;
}

int Font::DrawLine(Canvas* canvas, const std::string& utf8, int x, int baseline, Color color,
                   const Rect& clip) {
  const float s = canvas->Scale();
  if (s == 1.0f) return DrawLineDevice(canvas, utf8, x, baseline, color, clip);
  std::shared_ptr<Font> scaled = AtScale(s);
  if (!scaled) return 0;
  const int w = scaled->DrawLineDevice(canvas, utf8, static_cast<int>(lroundf(x * s)),
                                       static_cast<int>(lroundf(baseline * s)), color, canvas->ToDevice(clip));
  return static_cast<int>(lroundf(w / s));
}

int Font::DrawLineDevice(Canvas* canvas, const std::string& utf8, int x, int baseline, Color color,
                         const Rect& clip) {
  const int start = x;
  for (uint32_t cp : DecodeUtf8(utf8)) {
    const Glyph& g = GlyphFor(cp == '\t' || cp == '\n' || cp == '\r' ? ' ' : cp);
    if (!g.mask.empty() && !color.Transparent())
      canvas->DrawMask(g.mask.data(), g.w, g.h, g.w, x + g.xoff, baseline + g.yoff, color, clip);
    x += g.advance;
  }
  return x - start;
}

bool Font::Draw(Canvas* canvas, const std::string& utf8, const Rect& box, Color color,
                HAlign halign, VAlign valign, bool wrap, const Rect& clip, bool ellipsis) {
  const float s = canvas->Scale();
  if (s == 1.0f) return DrawDevice(canvas, utf8, box, color, halign, valign, wrap, clip, ellipsis);
  // Laid out again at the device size, so that lines and cuts fit the rasterised glyphs.
  std::shared_ptr<Font> scaled = AtScale(s);
  return !scaled || scaled->DrawDevice(canvas, utf8, canvas->ToDevice(box), color, halign, valign, wrap,
                                       canvas->ToDevice(clip), ellipsis);
}

bool Font::DrawDevice(Canvas* canvas, const std::string& utf8, const Rect& box, Color color,
                      HAlign halign, VAlign valign, bool wrap, const Rect& clip, bool ellipsis) {
  if (utf8.empty() || color.Transparent()) return true;
  std::vector<uint32_t> cps = DecodeUtf8(utf8);
  for (auto& cp : cps)
    if (cp == '\r' || cp == '\t') cp = ' ';
  auto lines = Lines(cps, box.w, wrap);
  int total = static_cast<int>(lines.size()) * lineHeight_;
  int y = box.y;
  if (valign == VAlign::Center) y = box.y + (box.h - total) / 2;
  if (valign == VAlign::Bottom) y = box.y + box.h - total;
  Rect area = Intersect(box, clip);
  bool whole = true;
  // The ellipsis character, or three full stops in a face without it.
  const uint32_t mark = HasGlyph(0x2026) ? 0x2026 : '.';
  const int marks = mark == '.' ? 3 : 1;
  const int markWidth = marks * GlyphFor(mark).advance;
  for (const auto& line : lines) {
    size_t to = line.second;
    int w = TextWidth(cps, line.first, to);
    bool cut = false;
    if (ellipsis && w > box.w) {
      // Whole characters only: a code point is one character of the program's GBK text.
      cut = true;
      whole = false;
      while (to > line.first && w + markWidth > box.w) w -= GlyphFor(cps[--to]).advance;
      w += markWidth;
    }
    int x = box.x;
    if (halign == HAlign::Center) x = box.x + (box.w - w) / 2;
    if (halign == HAlign::Right) x = box.x + box.w - w;
    if (cut) x = std::max(x, box.x);
    auto put = [&](uint32_t cp) {
      const Glyph& g = GlyphFor(cp);
      if (!g.mask.empty())
        canvas->DrawMask(g.mask.data(), g.w, g.h, g.w, x + g.xoff, y + ascent_ + g.yoff, color,
                         area);
      x += g.advance;
    };
    for (size_t i = line.first; i < to; ++i) put(cps[i]);
    if (cut)
      for (int k = 0; k < marks; ++k) put(mark);
    y += lineHeight_;
  }
  return whole;
}

}  // namespace skin
}  // namespace corvio
