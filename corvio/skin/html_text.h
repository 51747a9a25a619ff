// The readable text of an HTML page: tags removed, entities decoded, paragraphs kept.
#pragma once

#include <string>

namespace corvio {
namespace skin {

// UTF-8 in, UTF-8 out; a page that is not UTF-8 is taken as GBK.
std::string HtmlToText(const std::string& html);

}  // namespace skin
}  // namespace corvio
