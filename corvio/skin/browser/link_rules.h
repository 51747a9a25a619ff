// Addresses in a page: relative ones resolved against the page, and which ones may leave
// the launcher for the player's browser.
#pragma once

#include <string>

namespace corvio {
namespace skin {

// href resolved against base (the page's address, or its <base href>).
std::string ResolveUrl(const std::string& base, const std::string& href);
// True for an absolute http: or https: address with a host: the only links opened.
bool IsWebUrl(const std::string& url);

}  // namespace skin
}  // namespace corvio
