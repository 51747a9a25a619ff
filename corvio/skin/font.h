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
  struct Face;    // a font file's bytes and face, shared by every size
  struct Scaled;  // the face at this font's size
  // file: a .ttf/.ttc/.otf path (a collection's first face); null with a reason in *error.
  static std::shared_ptr<Font> Load(const std::string& file, int pixelSize, std::string* error);
  // The system's face for a family name (empty: a face that can show Chinese): found with
  // fontconfig on Linux, with GDI on Windows; null with a reason in *error.
  static std::shared_ptr<Font> LoadSystem(const std::string& family, int pixelSize,
                                          std::string* error);
  ~Font();
  // This font's face at an em size in pixels (the web's sense of a font size, where the
  // skin's sizes name the whole height), emboldened or slanted by the rasteriser when asked.
  std::shared_ptr<Font> Variant(int emPixels, bool bold, bool italic, std::string* error) const;
  // Characters this face lacks are drawn from fallback (a face that shows Chinese, say).
  void SetFallback(std::shared_ptr<Font> fallback) {
    fallback_ = std::move(fallback);
    atScale_.reset();
  }

  int PixelSize() const { return pixelSize_; }
  int LineHeight() const { return lineHeight_; }
  int Ascent() const { return ascent_; }
  std::string FamilyName() const;  // as the face names itself
  int XHeight() const { return xHeight_; }
  // This font for a canvas of the given scale: the same face at the scaled size (itself
  // at 1); null when that size cannot be made. Kept for the next call at the same scale.
  std::shared_ptr<Font> AtScale(float scale);
  // Draws one line of UTF-8 text with its baseline at y, starting at x; returns its width.
  // Like Draw, in the canvas's units, rasterised at its device pixels.
  int DrawLine(Canvas* canvas, const std::string& utf8, int x, int baseline, Color color,
               const Rect& clip);
  bool HasGlyph(uint32_t codepoint) const;  // false: drawn as the missing-glyph box
  int TextWidth(const std::vector<uint32_t>& cps, size_t from, size_t to);
  // Draws UTF-8 text inside box; lines are split at '\n' and, with wrap, at the width
  // (between any two characters, but never inside a run of Latin letters, digits and
  // ".:/-_", which stays whole while it fits a line). With ellipsis a line too wide for the
  // box ends in an ellipsis after the last whole character that fits. Returns false when a
  // line was cut so.
  bool Draw(Canvas* canvas, const std::string& utf8, const Rect& box, Color color,
            HAlign halign, VAlign valign, bool wrap, const Rect& clip, bool ellipsis = false);
  // The width of the widest line of the text (lines split at '\n').
  int TextWidth(const std::string& utf8);
  // The same in units, as drawn on a canvas of that scale (rounded up): hinting at the
  // scaled size may make it a little wider than the text at 1.
  int TextWidthAt(const std::string& utf8, float scale);
  // The lines Draw makes of the text when it wraps at width, as UTF-8.
  std::vector<std::string> WrapLines(const std::string& utf8, int width);

 private:
  struct Glyph {
    int advance = 0;
    int xoff = 0, yoff = 0, w = 0, h = 0;
    std::vector<uint8_t> mask;
  };
  Font() = default;
  static std::shared_ptr<Font> FromFace(std::shared_ptr<Face> face, int pixelSize,
                                        std::string* error, bool em = false);
  const Glyph& GlyphFor(uint32_t cp);
  // Draw and DrawLine in device pixels, with this font's own size.
  int DrawLineDevice(Canvas* canvas, const std::string& utf8, int x, int baseline, Color color,
                     const Rect& clip);
  bool DrawDevice(Canvas* canvas, const std::string& utf8, const Rect& box, Color color,
                  HAlign halign, VAlign valign, bool wrap, const Rect& clip, bool ellipsis);
  std::vector<std::pair<size_t, size_t>> Lines(const std::vector<uint32_t>& cps, int width,
                                               bool wrap);

  std::shared_ptr<Face> face_;
  std::unique_ptr<Scaled> scaled_;  // after face_: it goes first
  std::shared_ptr<Font> fallback_;
  int pixelSize_ = 12;
  bool bold_ = false, italic_ = false;
  bool em_ = false;  // pixelSize_ is the em, not the whole height
  std::shared_ptr<Font> atScale_;
  float atScaleOf_ = 0;
  int ascent_ = 0;
  int xHeight_ = 6;
  int lineHeight_ = 12;
  std::map<uint32_t, Glyph> glyphs_;
};

}  // namespace skin
}  // namespace corvio
