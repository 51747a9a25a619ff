// The current directory: SetCurrentDirectoryA and GetCurrentDirectoryA in Windows form.
#include <errno.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/linux/path.h"

namespace {

std::string HostCurrentDirectory() {
  std::vector<char> buffer(4096);
  for (;;) {
    if (getcwd(buffer.data(), buffer.size())) return std::string(buffer.data());
    if (errno != ERANGE || buffer.size() > (1u << 20)) return std::string();
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

// The path is translated and matched without regard to case, like every other path.
extern "C" BOOL SetCurrentDirectoryA(LPCSTR path) {
  std::string host;
  if (!PlatformRequiredHostPath("SetCurrentDirectoryA", path, ERROR_INVALID_PARAMETER, &host)) return FALSE;
  if (chdir(host.c_str()) != 0) {
    SetLastError(PlatformErrorFromErrno(errno, host));
    return FALSE;
  }
  return TRUE;
}

// Fits: the length without the NUL. Too small: nothing written, the size needed with
// the NUL returned, as Windows does. A folder whose name GBK cannot hold fails (0).
extern "C" DWORD GetCurrentDirectoryA(DWORD size, LPSTR out) {
  const std::string host = HostCurrentDirectory();
  if (host.empty()) {
    SetLastError(PlatformErrorFromErrno(errno, "."));
    return 0;
  }
  std::string windows;
  if (!PlatformWindowsPath("GetCurrentDirectoryA", host, &windows)) return 0;
  if (!out || size <= windows.size()) return static_cast<DWORD>(windows.size() + 1);
  memcpy(out, windows.c_str(), windows.size() + 1);
  return static_cast<DWORD>(windows.size());
}
