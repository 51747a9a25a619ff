// GBK <-> UTF-8 on top of the system's strict conversion, with one rule for bad input on
// every system; small UTF-8 helpers for the text renderer.
#include "corvio/skin/text_codec.h"

#include "corvio/skin/text_codec_system.h"
#include "platform/utf8.h"
#include "platform/win32.h"

namespace corvio {
namespace skin {

namespace {

bool IsAscii(const std::string& s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace

// Text with a bad byte somewhere goes character by character: a byte that starts no
// GBK character becomes '?', and the conversion goes on with the next byte.
std::string GbkToUtf8(const std::string& gbk) {
  if (IsAscii(gbk)) return gbk;
  std::string out;
  if (SystemGbkToUtf8(gbk.data(), gbk.size(), &out)) return out;
  size_t i = 0;
  while (i < gbk.size()) {
    const unsigned char c = gbk[i];
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      ++i;
      continue;
    }
    const size_t len = GbkCharLengthAt(gbk, i);
    if (SystemGbkToUtf8(gbk.data() + i, len, &out)) {
      i += len;
    } else {
      out.push_back('?');
      ++i;
    }
  }
  return out;
}

// A malformed UTF-8 byte becomes '?', and so does (once) a character GBK does not have.
std::string Utf8ToGbk(const std::string& utf8) {
  if (IsAscii(utf8)) return utf8;
  std::string out;
  if (SystemUtf8ToGbk(utf8.data(), utf8.size(), &out)) return out;
  size_t i = 0;
  while (i < utf8.size()) {
    uint32_t cp = 0;
    const size_t len = DecodeUtf8Char(utf8, i, &cp);
    if (len == 1) {
      out.push_back(utf8[i]);
    } else if (len == 0 || !SystemUtf8ToGbk(utf8.data() + i, len, &out)) {
      out.push_back('?');
    }
    i += len == 0 ? 1 : len;
  }
  return out;
}

std::vector<uint32_t> DecodeUtf8(const std::string& s) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < s.size();) {
    uint32_t cp = 0xFFFD;
    const size_t len = DecodeUtf8Char(s, i, &cp);
    out.push_back(len ? cp : 0xFFFD);
    i += len ? len : 1;
  }
  return out;
}

// Valid when decoding replaced nothing: a U+FFFD written in the text itself is a character.
bool IsValidUtf8(const std::string& text) {
  size_t written = 0;
  for (size_t i = 0; i + 2 < text.size(); ++i)
    if (text.compare(i, 3, "\xEF\xBF\xBD") == 0) ++written;
  size_t decoded = 0;
  for (uint32_t cp : DecodeUtf8(text))
    if (cp == 0xFFFD) ++decoded;
  return decoded == written;
}

size_t GbkCharLengthAt(const std::string& gbk, size_t i) {
  if (i >= gbk.size()) return 0;
  const char* p = gbk.c_str() + i;
  const size_t len = static_cast<size_t>(CharNextA(p) - p);
  return len == 0 ? 1 : len;  // an embedded zero byte is a character of its own
}

void PopLastGbkChar(std::string* gbk) {
  if (gbk->empty()) return;
  const char* start = gbk->c_str();
  gbk->resize(static_cast<size_t>(CharPrevA(start, start + gbk->size()) - start));
}

}  // namespace skin
}  // namespace corvio
