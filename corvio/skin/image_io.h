// Image files: decoding PNG and TGA, writing PNG screenshots.
#pragma once

#include <string>

#include "corvio/skin/canvas.h"

namespace corvio {
namespace skin {

// False with a reason (file missing, not a PNG or TGA, damaged) in *error.
bool LoadImageFile(const std::string& path, Image* out, std::string* error);
bool WritePng(const std::string& path, const Canvas& canvas, std::string* error);

}  // namespace skin
}  // namespace corvio
