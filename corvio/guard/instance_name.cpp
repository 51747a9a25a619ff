// Escaping of instance names, shared by the Linux and the Windows parts of the guard.
#include "corvio/guard/instance_name.h"

namespace corvio {

std::string EscapeInstanceName(const std::string& name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(name.size());
  for (unsigned char c : name) {
    const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                      (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
    if (safe) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  if (!out.empty() && out[0] == '.') out.replace(0, 1, "%2E");
  return out;
}

}  // namespace corvio
