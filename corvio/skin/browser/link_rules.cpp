// URL resolution is litehtml's (RFC 3986); the scheme rule is ours.
#include "corvio/skin/browser/link_rules.h"

#include <litehtml/url.h>

namespace corvio {
namespace skin {

namespace {

// RFC 3986's remove_dot_segments: "a/b/../c" is "a/c", as servers and the address shown
// to the player expect.
std::string RemoveDotSegments(const std::string& path) {
  std::string out;
  size_t at = 0;
  while (at < path.size()) {
    size_t end = path.find('/', at + 1);
    if (end == std::string::npos) end = path.size();
    const std::string segment = path.substr(at, end - at);  // with its leading '/', if any
    if (segment == "/." || segment == ".") {
      if (end == path.size()) out += '/';
    } else if (segment == "/.." || segment == "..") {
      const size_t cut = out.rfind('/');
      out.erase(cut == std::string::npos ? 0 : cut);
      if (end == path.size()) out += '/';
    } else {
      out += segment;
    }
    at = end;
  }
  return out;
}

}  // namespace

std::string ResolveUrl(const std::string& base, const std::string& href) {
  const litehtml::url resolved =
      base.empty() ? litehtml::url(href) : litehtml::resolve(litehtml::url(base), litehtml::url(href));
  if (resolved.path().find('.') == std::string::npos) return resolved.str();
  return litehtml::url(resolved.scheme(), resolved.authority(), RemoveDotSegments(resolved.path()),
                       resolved.query(), resolved.fragment())
      .str();
}

bool IsWebUrl(const std::string& address) {
  // Control characters and blanks have no place in an address handed to another program.
  for (unsigned char c : address)
    if (c <= 0x20 || c == 0x7F) return false;
  const litehtml::url url(address);
  std::string scheme = url.scheme();
  for (char& c : scheme) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return (scheme == "http" || scheme == "https") && !url.authority().empty();
}

}  // namespace skin
}  // namespace corvio
