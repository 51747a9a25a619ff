// Numeric character references of the district list turned into GBK bytes before the
// XML reader sees them.
#include <stdint.h>
#include <string.h>

#include <string>

#include "districts/list_document.h"
#include "platform/win32.h"

namespace {

constexpr UINT kGbkCodePage = 936;
constexpr uint32_t kLastCodePoint = 0x10FFFF;

// The sections in which the reader decodes no reference, by their opening and closing
// text. Searched byte by byte, as the reader itself scans: no GBK trail byte is '<', '-',
// '?' or '>', and one that is ']' ends a CDATA section for the reader as well.
struct Section {
  const char* open;
  const char* close;
};
constexpr Section kVerbatim[] = {
    {"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}};

// The end of a declaration ("<!DOCTYPE ...>"), past any internal subset in brackets.
size_t DeclarationEnd(const std::string& xml, size_t start) {
  int depth = 0;
  for (size_t i = start; i < xml.size(); ++i) {
    if (xml[i] == '[') ++depth;
    else if (xml[i] == ']' && depth > 0) --depth;
    else if (xml[i] == '>' && depth == 0) return i + 1;
  }
  return xml.size();
}

// Where the verbatim section opening at `start` ends, or npos when none opens there.
size_t VerbatimEnd(const std::string& xml, size_t start) {
  for (const Section& s : kVerbatim) {
    if (xml.compare(start, strlen(s.open), s.open) != 0) continue;
    const size_t close = xml.find(s.close, start + strlen(s.open));
    return close == std::string::npos ? xml.size() : close + strlen(s.close);
  }
  if (xml.compare(start, 2, "<!") == 0) return DeclarationEnd(xml, start + 2);
  return std::string::npos;
}

int DigitValue(char c, bool hex) {
  if (c >= '0' && c <= '9') return c - '0';
  if (!hex) return -1;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads "&#N;" or "&#xH;" at `start`: the code point and the reference's length, or
// false for anything else (then the text stays as it is).
bool ReadReference(const std::string& xml, size_t start, uint32_t* codePoint, size_t* length) {
  size_t i = start + 2;  // past "&#"
  const bool hex = i < xml.size() && (xml[i] == 'x');
  if (hex) ++i;
  const size_t digits = i;
  uint32_t value = 0;
  for (; i < xml.size() && DigitValue(xml[i], hex) >= 0; ++i) {
    value = value * (hex ? 16 : 10) + static_cast<uint32_t>(DigitValue(xml[i], hex));
    if (value > kLastCodePoint) return false;  // also keeps the sum from overflowing
  }
  if (i == digits || i >= xml.size() || xml[i] != ';') return false;
  *codePoint = value;
  *length = i + 1 - start;
  return true;
}

// The character in GBK, or "?" when GBK has none. No best-fit mapping: a look-alike
// would name a different district.
std::string GbkCharacter(uint32_t codePoint) {
  // GBK holds nothing beyond the basic plane, and a lone surrogate is no character.
  if (codePoint > 0xFFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return "?";
  const WCHAR wide = static_cast<WCHAR>(codePoint);
  char bytes[4] = {0};
  BOOL usedDefault = FALSE;
  const int written = WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes,
                                          sizeof bytes, "?", &usedDefault);
  if (written <= 0 || usedDefault) return "?";
  return std::string(bytes, static_cast<size_t>(written));
}

}  // namespace

std::string GbkFromCharacterReferences(const std::string& xml) {
  std::string out;
  out.reserve(xml.size());
  size_t i = 0;
  while (i < xml.size()) {
    if (xml[i] == '<') {
      const size_t end = VerbatimEnd(xml, i);
      if (end != std::string::npos) {
        out.append(xml, i, end - i);
        i = end;
        continue;
      }
    } else if (xml[i] == '&' && xml.compare(i, 2, "&#") == 0) {
      uint32_t codePoint = 0;
      size_t length = 0;
      // ASCII references stay: the reader decodes them to the same byte, and "&#60;" must
      // not become a '<' of markup.
      if (ReadReference(xml, i, &codePoint, &length) && codePoint >= 0x80) {
        out += GbkCharacter(codePoint);
        i += length;
        continue;
      }
    }
    out += xml[i];
    ++i;
  }
  return out;
}
