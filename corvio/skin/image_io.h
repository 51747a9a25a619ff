// Image files: decoding PNG and TGA, writing PNG screenshots.
#pragma once

#include <string>
#include <vector>

#include "corvio/skin/canvas.h"

namespace corvio {
namespace skin {

// False with a reason (file missing, not a PNG or TGA, damaged) in *error.
bool LoadImageFile(const std::string& path, Image* out, std::string* error);
// The two halves of LoadImageFile: the file's bytes and its size from the header (fast),
// then the pixels (the slow part, which may run on another thread).
bool ReadImageHeader(const std::string& path, std::vector<unsigned char>* data, int* width, int* height,
                     std::string* error);
bool DecodeImage(const std::string& path, const std::vector<unsigned char>& data, Image* out,
                 std::string* error);
bool WritePng(const std::string& path, const Canvas& canvas, std::string* error);

}  // namespace skin
}  // namespace corvio
