// Splits "ONEIMAGE:file;Mode" into its file name and mode.
#include "corvio/props/image_value.h"

namespace corvio {

bool ParseImageValue(const std::string& value, ImageValue* out) {
  static const std::string kPrefix = "ONEIMAGE:";
  if (!out || value.compare(0, kPrefix.size(), kPrefix) != 0) return false;
  std::string rest = value.substr(kPrefix.size());
  const size_t semicolon = rest.rfind(';');
  std::string file = semicolon == std::string::npos ? rest : rest.substr(0, semicolon);
  if (file.empty()) return false;
  out->mode = semicolon == std::string::npos ? std::string() : rest.substr(semicolon + 1);
  out->file = file;
  return true;
}

}  // namespace corvio
