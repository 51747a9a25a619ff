// Windows: the shell's "open" verb, which starts the player's default browser.
#include "corvio/skin/browser/open_link.h"

#include <windows.h>
#include <shellapi.h>

#include "corvio/report.h"
#include "corvio/skin/browser/link_rules.h"

namespace corvio {
namespace skin {

bool OpenLink(const std::string& url) {
  if (!IsWebUrl(url)) return false;
  const INT_PTR result = reinterpret_cast<INT_PTR>(
      ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  if (result > 32) return true;
  ReportF("[Corvio_Browser]", "the browser could not be started for %s (error %d)", url.c_str(),
          static_cast<int>(result));
  return false;
}

}  // namespace skin
}  // namespace corvio
