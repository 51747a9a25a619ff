// Linux: xdg-open, in a grandchild of its own session, so the launcher neither waits for
// it nor leaves a zombie, and a browser it starts outlives the launcher.
#include "corvio/skin/browser/open_link.h"

#include <errno.h>
#include <sys/wait.h>
#include <unistd.h>

#include "corvio/report.h"
#include "corvio/skin/browser/link_rules.h"

namespace corvio {
namespace skin {

bool OpenLink(const std::string& url) {
  if (!IsWebUrl(url)) return false;
  const pid_t child = fork();
  if (child < 0) {
    Report("[Corvio_Browser]", "cannot start xdg-open for " + url);
    return false;
  }
  if (child == 0) {
    // Only async-signal-safe calls here: the parent has other threads.
    setsid();
    const pid_t grandchild = fork();
    if (grandchild == 0) {
      char* argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(url.c_str()), nullptr};
      execvp("xdg-open", argv);
      static const char kMessage[] = "[Corvio_Browser] cannot start xdg-open (is xdg-utils installed?)\n";
      (void)!write(2, kMessage, sizeof kMessage - 1);
      _exit(127);
    }
    _exit(grandchild < 0 ? 1 : 0);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace skin
}  // namespace corvio
