// Character-set choice in the browser's order of precedence, for the labels the operator's
// pages use: UTF-8, the GBK family (read as code page 936) and Latin-1.
#include "corvio/skin/browser/page_text.h"

#include <ctype.h>

#include "corvio/skin/text_codec.h"

namespace corvio {
namespace skin {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return s;
}

bool Known(const std::string& rawLabel, Charset* out) {
  std::string label = Lower(rawLabel);
  while (!label.empty() && (label.back() == ' ' || label.back() == '"' || label.back() == '\''))
    label.pop_back();
  while (!label.empty() && (label[0] == ' ' || label[0] == '"' || label[0] == '\'')) label.erase(0, 1);
  static const struct {
    const char* label;
    Charset charset;
  } kLabels[] = {
      {"utf-8", Charset::kUtf8},       {"utf8", Charset::kUtf8},
      {"unicode-1-1-utf-8", Charset::kUtf8},
      {"gbk", Charset::kGbk},          {"gb2312", Charset::kGbk},
      {"gb_2312-80", Charset::kGbk},   {"gb18030", Charset::kGbk},
      {"x-gbk", Charset::kGbk},        {"cp936", Charset::kGbk},
      {"windows-936", Charset::kGbk},  {"euc-cn", Charset::kGbk},
      {"csgb2312", Charset::kGbk},     {"chinese", Charset::kGbk},
      {"iso-8859-1", Charset::kLatin1}, {"latin1", Charset::kLatin1},
      {"us-ascii", Charset::kLatin1},  {"ascii", Charset::kLatin1},
      {"windows-1252", Charset::kLatin1}, {"cp1252", Charset::kLatin1},
  };
  for (const auto& known : kLabels) {
    if (label == known.label) {
      *out = known.charset;
      return true;
    }
  }
  return false;
}

// The value after "charset=" in text (a header, or a meta tag's content), up to its end.
bool CharsetParameter(const std::string& text, Charset* out) {
  const std::string lower = Lower(text);
  size_t at = lower.find("charset");
  while (at != std::string::npos) {
    size_t p = at + 7;
    while (p < lower.size() && lower[p] == ' ') ++p;
    if (p < lower.size() && lower[p] == '=') {
      ++p;
      size_t end = p;
      while (end < lower.size() && lower[end] != ';' && lower[end] != '>' && lower[end] != '/' &&
             !(end > p && (lower[end] == '"' || lower[end] == '\'' || lower[end] == ' ')))
        ++end;
      return Known(lower.substr(p, end - p), out);
    }
    at = lower.find("charset", at + 7);
  }
  return false;
}

// <meta charset=...> or <meta http-equiv="Content-Type" content="...charset=...">, looked
// for in the first 1024 bytes as browsers do.
bool MetaCharset(const std::string& bytes, Charset* out) {
  const std::string head = Lower(bytes.substr(0, 1024));
  size_t at = head.find("<meta");
  while (at != std::string::npos) {
    size_t end = head.find('>', at);
    if (end == std::string::npos) end = head.size();
    if (CharsetParameter(head.substr(at, end - at), out)) return true;
    at = head.find("<meta", end);
  }
  return false;
}

std::string Latin1ToUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char c : bytes) AppendUtf8(c, &out);
  return out;
}

}  // namespace

Charset ChooseCharset(const std::string& contentType, const std::string& bytes) {
  Charset charset = Charset::kUtf8;
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return Charset::kUtf8;
  if (CharsetParameter(contentType, &charset) || MetaCharset(bytes, &charset)) return charset;
  return IsValidUtf8(bytes) ? Charset::kUtf8 : Charset::kGbk;
}

std::string PageToUtf8(const std::string& contentType, const std::string& bytes) {
  switch (ChooseCharset(contentType, bytes)) {
    case Charset::kGbk:
      return GbkToUtf8(bytes);
    case Charset::kLatin1:
      return Latin1ToUtf8(bytes);
    case Charset::kUtf8:
      break;
  }
  const size_t skip = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  std::string text = bytes.substr(skip);
  if (!IsValidUtf8(text)) {
    std::string clean;
    for (uint32_t cp : DecodeUtf8(text)) AppendUtf8(cp, &clean);
    return clean;
  }
  return text;
}

}  // namespace skin
}  // namespace corvio
