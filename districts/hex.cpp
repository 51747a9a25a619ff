// Hexadecimal reading and writing with the exact tolerance of the scans the file format
// was defined by: garbage changes byte values, never the number of bytes.
#include "districts/hex.h"

#include <string.h>

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Scans [begin, end) like "%x" with at most `width` characters after the blanks; blanks
// are not limited by the width. Returns false when no digit was read.
bool ScanHex(const char* begin, const char* end, int width, unsigned* value) {
  const char* p = begin;
  while (p < end && IsBlank(*p)) ++p;
  bool negative = false;
  int used = 0;
  if (p < end && used < width && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
    ++used;
  }
  unsigned result = 0;
  bool any = false;
  while (p < end && used < width) {
    int digit = DigitValue(*p);
    if (digit < 0) break;
    result = result * 16u + static_cast<unsigned>(digit);
    any = true;
    ++p;
    ++used;
  }
  if (!any) return false;
  *value = negative ? 0u - result : result;
  return true;
}

}  // namespace

std::string HexDecode(const std::string& text) {
  std::string bytes;
  bytes.reserve(text.size() / 2);
  unsigned char previous = 0;
  for (size_t i = 0; i + 2 <= text.size(); i += 2) {
    unsigned value = 0;
    // The pair is scanned on its own, so blanks and sign count within its two characters.
    if (ScanHex(text.data() + i, text.data() + i + 2, 2, &value)) {
      previous = static_cast<unsigned char>(value & 0xFFu);
    }
    bytes.push_back(static_cast<char>(previous));
  }
  return bytes;
}

std::string HexEncode(const unsigned char* data, int16_t count) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  if (data == nullptr || count <= 0) return text;
  text.reserve(static_cast<size_t>(count) * 2);
  for (int i = 0; i < count; ++i) {
    text.push_back(kDigits[data[i] >> 4]);
    text.push_back(kDigits[data[i] & 0x0F]);
  }
  return text;
}

void HexDecodeToBuffer(const char* text, unsigned char* out, int16_t* count, int capacity) {
  int written = 0;
  if (text != nullptr && out != nullptr) {
    const size_t length = strlen(text);
    const char* end = text + length;
    if (capacity > INT16_MAX) capacity = INT16_MAX;
    for (size_t i = 0; i < length && written < capacity; i += 2) {
      // Like sscanf(text + i, "%02x"): the scan may look past the pair for blanks.
      unsigned value = 0;
      if (!ScanHex(text + i, end, 2, &value)) value = 0;
      out[written++] = static_cast<unsigned char>(value & 0xFFu);
    }
  }
  if (count != nullptr) *count = static_cast<int16_t>(written);
}
