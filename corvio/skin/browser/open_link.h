// Hands a web address to the player's default browser, without waiting for it.
#pragma once

#include <string>

namespace corvio {
namespace skin {

// Only for addresses IsWebUrl accepts; false (reported) when no browser could be started.
bool OpenLink(const std::string& url);

}  // namespace skin
}  // namespace corvio
