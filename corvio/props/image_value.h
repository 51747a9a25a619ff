// Reads an image property value of the form "ONEIMAGE:file;Mode" (Mode e.g. "Tile").
#pragma once

#include <string>

namespace corvio {

struct ImageValue {
  std::string file;  // the image file name, as written
  std::string mode;  // the text after the last ';', empty when there is none
};

// False when the value does not start with "ONEIMAGE:" or names no file.
bool ParseImageValue(const std::string& value, ImageValue* out);

}  // namespace corvio
