// stb_truetype glyphs (compiled privately here) and fontconfig lookup.
#include "corvio/skin/font.h"

#include <fcntl.h>
#include <fontconfig/fontconfig.h>
#include <stdio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>

#define STBTT_STATIC
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb/stb_truetype.h>

#include "corvio/skin/text_codec.h"

namespace corvio {
namespace skin {

// The file is mapped, not read: a CJK font is megabytes, of which drawing a few captions
// touches only the tables and the glyphs it needs.
struct Font::Face {
  Face() = default;
  Face(const Face&) = delete;
  Face& operator=(const Face&) = delete;
  ~Face() {
    if (data) munmap(data, size);
  }
  unsigned char* data = nullptr;
  size_t size = 0;
  stbtt_fontinfo info;
};

namespace {

// Font files are shared by every size and dialog; they are read once.
std::shared_ptr<Font::Face> LoadFace(const std::string& file, std::string* error);

}  // namespace

Font::~Font() = default;

std::shared_ptr<Font> Font::Load(const std::string& file, int pixelSize, std::string* error) {
  std::shared_ptr<Face> face = LoadFace(file, error);
  if (!face) return nullptr;
  std::shared_ptr<Font> font(new Font());
  font->face_ = face;
  font->pixelSize_ = pixelSize;
  font->scale_ = stbtt_ScaleForPixelHeight(&face->info, static_cast<float>(pixelSize));
  int ascent = 0, descent = 0, gap = 0;
  stbtt_GetFontVMetrics(&face->info, &ascent, &descent, &gap);
  font->ascent_ = static_cast<int>(ascent * font->scale_ + 0.5f);
  font->lineHeight_ = static_cast<int>((ascent - descent + gap) * font->scale_ + 0.5f);
  if (font->lineHeight_ <= 0) font->lineHeight_ = pixelSize;
  return font;
}

namespace {

std::mutex g_faceMutex;
std::map<std::string, std::weak_ptr<Font::Face>> g_faces;

std::shared_ptr<Font::Face> LoadFace(const std::string& file, std::string* error) {
  std::lock_guard<std::mutex> lock(g_faceMutex);
  auto it = g_faces.find(file);
  if (it != g_faces.end()) {
    if (auto face = it->second.lock()) return face;
  }
  auto face = std::make_shared<Font::Face>();
  int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
    if (fd >= 0) close(fd);
    *error = "cannot read font file \"" + file + "\"";
    return nullptr;
  }
  void* map = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
  close(fd);
  if (map == MAP_FAILED) {
    *error = "cannot read font file \"" + file + "\"";
    return nullptr;
  }
  face->data = static_cast<unsigned char*>(map);
  face->size = static_cast<size_t>(st.st_size);
  // The parser trusts the offsets inside the file; a file too short for its own header
  // is refused before it reads past the mapping.
  if (face->size < 12) {
    *error = "font file \"" + file + "\" is not a TrueType or OpenType font";
    return nullptr;
  }
  int offset = stbtt_GetFontOffsetForIndex(face->data, 0);
  if (offset < 0 || !stbtt_InitFont(&face->info, face->data, offset)) {
    *error = "font file \"" + file + "\" is not a TrueType or OpenType font";
    return nullptr;
  }
  g_faces[file] = face;
  return face;
}

}  // namespace

const Font::Glyph& Font::GlyphFor(uint32_t cp) {
  auto it = glyphs_.find(cp);
  if (it != glyphs_.end()) return it->second;
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

void Font::DrawText(Canvas* canvas, const std::string& utf8, const Rect& box, Color color,
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

namespace {

// The engine's own font configuration, freed again at exit so that nothing of it leaks.
struct FontConfig {
  FcConfig* config = nullptr;
  bool tried = false;
  ~FontConfig() {
    if (config) {
      FcConfigDestroy(config);
      FcFini();
    }
  }
};

}  // namespace

std::string FindFontFile(const std::string& family, std::string* error) {
  static std::mutex mutex;
  static FontConfig fc;
  std::lock_guard<std::mutex> lock(mutex);
  if (!fc.tried) {
    fc.tried = true;
    fc.config = FcInitLoadConfigAndFonts();
  }
  if (!fc.config) {
    *error = "the font configuration cannot be read";
    return "";
  }
  FcPattern* pattern = family.empty()
                           ? FcNameParse(reinterpret_cast<const FcChar8*>(":lang=zh-cn"))
                           : FcPatternCreate();
  if (!pattern) {
    *error = "out of memory";
    return "";
  }
  if (!family.empty())
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcConfigSubstitute(fc.config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(fc.config, pattern, &result);
  std::string file;
  if (match) {
    FcChar8* path = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path)
      file = reinterpret_cast<const char*>(path);
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  if (file.empty())
    *error = "no font found for \"" + (family.empty() ? std::string("Chinese text") : family) + "\"";
  return file;
}

}  // namespace skin
}  // namespace corvio
