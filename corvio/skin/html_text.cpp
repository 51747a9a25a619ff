// A small tag stripper: enough for a news page in a side pane, not a browser.
#include "corvio/skin/html_text.h"

#include <ctype.h>
#include <stdlib.h>
#include <strings.h>

#include "corvio/skin/text_codec.h"

namespace corvio {
namespace skin {

namespace {

bool IsBlockTag(const std::string& name) {
  static const char* const kBlocks[] = {"p",  "br", "div", "h1", "h2", "h3", "h4",    "h5",
                                        "h6", "li", "tr",  "ul", "ol", "table", "hr", "title",
                                        "section", "article", "header", "footer", "blockquote"};
  for (const char* b : kBlocks)
    if (strcasecmp(name.c_str(), b) == 0) return true;
  return false;
}

void AppendEntity(const std::string& entity, std::string* out) {
  if (entity == "amp") *out += '&';
  else if (entity == "lt") *out += '<';
  else if (entity == "gt") *out += '>';
  else if (entity == "quot") *out += '"';
  else if (entity == "apos") *out += '\'';
  else if (entity == "nbsp") *out += ' ';
  else if (entity.size() > 1 && entity[0] == '#') {
    bool hex = entity[1] == 'x' || entity[1] == 'X';
    unsigned long cp = strtoul(entity.c_str() + (hex ? 2 : 1), nullptr, hex ? 16 : 10);
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    AppendUtf8(static_cast<uint32_t>(cp), out);
  } else {
    *out += "&" + entity + ";";
  }
}

}  // namespace

std::string HtmlToText(const std::string& page) {
  std::string html = IsValidUtf8(page) ? page : GbkToUtf8(page);
  std::string out;
  bool pendingSpace = false;
  auto newline = [&] {
    while (!out.empty() && out.back() == ' ') out.pop_back();
    if (!out.empty() && !(out.size() >= 2 && out[out.size() - 1] == '\n' && out[out.size() - 2] == '\n'))
      out += '\n';
    pendingSpace = false;
  };
  size_t i = 0;
  while (i < html.size()) {
    char c = html[i];
    if (c == '<') {
      if (html.compare(i, 4, "<!--") == 0) {
        size_t end = html.find("-->", i + 4);
        i = end == std::string::npos ? html.size() : end + 3;
        continue;
      }
      size_t end = html.find('>', i);
      if (end == std::string::npos) break;
      size_t n = i + 1;
      bool closing = n < end && html[n] == '/';
      if (closing) ++n;
      size_t nameEnd = n;
      while (nameEnd < end && (isalnum(static_cast<unsigned char>(html[nameEnd])))) ++nameEnd;
      std::string name = html.substr(n, nameEnd - n);
      i = end + 1;
      if (!closing && (strcasecmp(name.c_str(), "script") == 0 || strcasecmp(name.c_str(), "style") == 0 ||
                       strcasecmp(name.c_str(), "head") == 0)) {
        std::string close = "</" + name;
        size_t stop = i;
        while (stop < html.size() && strncasecmp(html.c_str() + stop, close.c_str(), close.size()) != 0) ++stop;
        size_t after = html.find('>', stop);
        i = after == std::string::npos ? html.size() : after + 1;
        continue;
      }
      if (IsBlockTag(name)) {
        newline();
        if (!closing && strcasecmp(name.c_str(), "p") == 0 && !out.empty()) out += '\n';
      }
      continue;
    }
    if (c == '&') {
      // An entity is at most ten characters: look no further, or a page of '&' takes
      // quadratic time.
      size_t semi = std::string::npos;
      for (size_t k = i + 1; k < html.size() && k - i <= 10 && semi == std::string::npos; ++k)
        if (html[k] == ';') semi = k;
      if (semi != std::string::npos) {
        if (pendingSpace && !out.empty() && out.back() != '\n') out += ' ';
        pendingSpace = false;
        AppendEntity(html.substr(i + 1, semi - i - 1), &out);
        i = semi + 1;
        continue;
      }
    }
    if (isspace(static_cast<unsigned char>(c))) {
      pendingSpace = true;
      ++i;
      continue;
    }
    if (pendingSpace && !out.empty() && out.back() != '\n') out += ' ';
    pendingSpace = false;
    out += c;
    ++i;
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  // Collapse runs of more than one blank line.
  std::string tidy;
  for (char ch : out) {
    if (ch == '\n' && tidy.size() >= 2 && tidy[tidy.size() - 1] == '\n' && tidy[tidy.size() - 2] == '\n')
      continue;
    tidy += ch;
  }
  return tidy;
}

}  // namespace skin
}  // namespace corvio
