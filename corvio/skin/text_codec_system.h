// The system's half of the GBK <-> UTF-8 conversions (iconv on Linux, code page 936 on
// Windows): strict, so that the portable half decides what a bad character becomes.
#pragma once

#include <stddef.h>

#include <string>

namespace corvio {
namespace skin {

// Appends the converted bytes to *out and returns true only when every input byte
// belongs to a character the other side can hold; on false *out is unchanged.
bool SystemGbkToUtf8(const char* gbk, size_t size, std::string* out);
bool SystemUtf8ToGbk(const char* utf8, size_t size, std::string* out);

}  // namespace skin
}  // namespace corvio
