// Image files: decoding PNG and TGA (and a web page's JPEG, GIF and BMP), writing PNG
// screenshots.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

#include "corvio/skin/canvas.h"

namespace corvio {
namespace skin {

// The largest image a skin may hold (its own largest is 900x560), and the pixels of all
// its images together (RGBA bytes once decoded).
constexpr int kMaxImageSide = 4096;
constexpr size_t kMaxSkinPixelBytes = size_t{64} << 20;

// False with a reason (file missing, not a PNG or TGA, damaged) in *error.
bool LoadImageFile(const std::string& path, Image* out, std::string* error);
// The two halves of LoadImageFile: the file's bytes and its size from the header (fast),
// refused when it declares more than kMaxImageSide either way; then the pixels (the slow part, which may run on another thread).
bool ReadImageHeader(const std::string& path, std::vector<unsigned char>* data, int* width, int* height,
                     std::string* error);
bool DecodeImage(const std::string& path, const std::vector<unsigned char>& data, Image* out,
                 std::string* error);
// A web page's image (PNG, JPEG, GIF's first frame, BMP) held in memory: its size from the
// header, refused beyond maxSide either way; DecodeImage then gives its pixels.
bool ReadWebImageHeader(const std::vector<unsigned char>& data, int maxSide, int* width, int* height,
                        std::string* error);
bool WritePng(const std::string& path, const Canvas& canvas, std::string* error);

}  // namespace skin
}  // namespace corvio
