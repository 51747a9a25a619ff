// Fuzz target for the browser pane's page-to-text conversion: any page, UTF-8 or GBK,
// gives well-formed UTF-8 text in the pane's shape, and a UTF-8 page is read as UTF-8.
#include <stddef.h>
#include <stdint.h>

#include <string>

#include "common/fuzz_support.h"
#include "corvio/skin/html_text.h"
#include "corvio/skin/text_codec.h"

namespace {

using zentfuzz::Shown;

// Well-formed UTF-8 as RFC 3629 has it: shortest forms only, no surrogates, nothing past
// U+10FFFF. Written out here so that the code under test is not its own judge.
bool WellFormedUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    size_t length;
    uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      const unsigned char t = static_cast<unsigned char>(text[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    const uint32_t shortest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (cp < shortest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string page(reinterpret_cast<const char*>(data), size);
  // The conversion takes the page as UTF-8 only when this says it is.
  FUZZ_CHECK(corvio::skin::IsValidUtf8(page) == WellFormedUtf8(page),
             std::string("IsValidUtf8 says ") + (WellFormedUtf8(page) ? "no" : "yes") +
                 " to a page that is " + (WellFormedUtf8(page) ? "" : "not ") + "UTF-8: " + Shown(page));
  const std::string text = corvio::skin::HtmlToText(page);
  FUZZ_CHECK(WellFormedUtf8(text), "the text is not UTF-8: " + Shown(text));
  // A GBK byte becomes at most three UTF-8 bytes, and so does the shortest reference.
  FUZZ_CHECK(text.size() <= 3 * page.size(),
             std::to_string(text.size()) + " bytes of text from a " + std::to_string(page.size()) +
                 "-byte page");
  FUZZ_CHECK(text.find("\n\n\n") == std::string::npos, "more than one blank line in a row");
  FUZZ_CHECK(text.empty() || (text.back() != '\n' && text.back() != ' '),
             "the text ends in a blank: " + Shown(text));
  FUZZ_CHECK(corvio::skin::HtmlToText(page) == text, "the same page gives another text");
  return 0;
}
