// Where a font's bytes come from: the system's half of the text renderer (fontconfig and
// mapped files on Linux, GDI on Windows). The rasteriser in font.cpp is the same on both.
#pragma once

#include <stddef.h>

#include <memory>
#include <string>

namespace corvio {
namespace skin {

// A whole font file or collection, and the face in it to draw with.
struct FontBytes {
  const unsigned char* data = nullptr;
  size_t size = 0;
  int faceIndex = 0;
  std::shared_ptr<const void> owner;  // keeps data alive (a mapping or a buffer)
};

// A font file by path; false with a reason in *error.
bool ReadFontFile(const std::string& path, FontBytes* out, std::string* error);
// The system's face for a family name (empty: a face that can show Chinese); *what names
// it for messages. False with a reason in *error when nothing usable is installed.
bool FindSystemFont(const std::string& family, FontBytes* out, std::string* what,
                    std::string* error);

}  // namespace skin
}  // namespace corvio
