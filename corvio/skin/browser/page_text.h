// A fetched page's character set and its text as UTF-8, the one encoding the renderer reads.
#pragma once

#include <string>

namespace corvio {
namespace skin {

enum class Charset { kUtf8, kGbk, kLatin1 };

// The page's character set: the HTTP header's charset, else the page's own <meta charset>
// or http-equiv declaration, else UTF-8 when the bytes are well-formed UTF-8, else GBK.
// A label that names no set we read is passed over.
Charset ChooseCharset(const std::string& contentType, const std::string& bytes);
// The page's bytes as UTF-8 (a byte-order mark dropped).
std::string PageToUtf8(const std::string& contentType, const std::string& bytes);

}  // namespace skin
}  // namespace corvio
