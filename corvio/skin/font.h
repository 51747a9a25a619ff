// TrueType text: fonts from a file or from the system by family name, glyph rasterising
// and drawing of text in a rectangle with alignment and word wrap.
#pragma once

#include <stdint.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "corvio/skin/canvas.h"

namespace corvio {
namespace skin {

enum class HAlign { Left, Center, Right };
enum class VAlign { Top, Center, Bottom };

class Font {
 public:
  struct Face;  // a font file's bytes, shared by every size
  // file: a .ttf/.ttc/.otf path (a collection's first face); null with a reason in *error.
  static std::shared_ptr<Font> Load(const std::string& file, int pixelSize, std::string* error);
  // The system's face for a family name (empty: a face that can show Chinese): found with
  // fontconfig on Linux, with GDI on Windows; null with a reason in *error.
  static std::shared_ptr<Font> LoadSystem(const std::string& family, int pixelSize,
                                          std::string* error);
  ~Font();

  int PixelSize() const { return pixelSize_; }
  int LineHeight() const { return lineHeight_; }
  bool HasGlyph(uint32_t codepoint) const;  // false: drawn as the missing-glyph box
  int TextWidth(const std::vector<uint32_t>& cps, size_t from, size_t to);
  // Draws UTF-8 text inside box; lines are split at '\n' and, with wrap, at the width.
  void Draw(Canvas* canvas, const std::string& utf8, const Rect& box, Color color,
            HAlign halign, VAlign valign, bool wrap, const Rect& clip);

 private:
  struct Glyph {
    int advance = 0;
    int xoff = 0, yoff = 0, w = 0, h = 0;
    std::vector<uint8_t> mask;
  };
  Font() = default;
  static std::shared_ptr<Font> FromFace(std::shared_ptr<Face> face, int pixelSize);
  const Glyph& GlyphFor(uint32_t cp);
  std::vector<std::pair<size_t, size_t>> Lines(const std::vector<uint32_t>& cps, int width,
                                               bool wrap);

  std::shared_ptr<Face> face_;
  int pixelSize_ = 12;
  float scale_ = 1;
  int ascent_ = 0;
  int lineHeight_ = 12;
  std::map<uint32_t, Glyph> glyphs_;
};

}  // namespace skin
}  // namespace corvio
