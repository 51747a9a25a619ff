// Conversions between GBK, the program's text code page, and UTF-8, in which the engine
// reads skins and draws text.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "platform/utf8.h"

namespace corvio {
namespace skin {

// Bad input becomes '?' (a byte that starts no character, or a character the other side
// lacks), so a conversion always gives some text, the same on every system.
std::string GbkToUtf8(const std::string& gbk);
std::string Utf8ToGbk(const std::string& utf8);
// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(const std::string& text);
// The code points of UTF-8 text (malformed bytes give U+FFFD).
std::vector<uint32_t> DecodeUtf8(const std::string& utf8);
using ::AppendUtf8;  // platform/utf8.h
// Removes the last whole GBK character (one or two bytes).
void PopLastGbkChar(std::string* gbk);
// Bytes of the GBK character at gbk[i] (1 or 2), by the system's own CharNextA.
size_t GbkCharLengthAt(const std::string& gbk, size_t i);

}  // namespace skin
}  // namespace corvio
