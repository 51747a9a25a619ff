// UTF-8 by one rule for the whole program (the platform layer, the skin's text, the notice
// pane): a character is well formed or it is not, and a byte of a malformed sequence is
// replaced on its own, so every conversion agrees on what bad input becomes.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

// The well-formed UTF-8 character at text[i]: its length (1 to 4) with its code point in
// *cp, or 0 when the bytes there are none: a stray or cut sequence, an overlong form, a
// surrogate, or a value past U+10FFFF.
inline size_t DecodeUtf8Char(const char* text, size_t size, size_t i, uint32_t* cp) {
  if (i >= size) return 0;
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
  if (length == 0 || length > size - i) return 0;
  uint32_t value = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    const unsigned char trail = static_cast<unsigned char>(text[i + k]);
    if ((trail & 0xC0) != 0x80) return 0;
    value = (value << 6) | (trail & 0x3F);
  }
  static const uint32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[length] || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return 0;
  *cp = value;
  return length;
}

inline size_t DecodeUtf8Char(const std::string& text, size_t i, uint32_t* cp) {
  return DecodeUtf8Char(text.data(), text.size(), i, cp);
}

inline void AppendUtf8(uint32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}
