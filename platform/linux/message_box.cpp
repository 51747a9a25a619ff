// MessageBoxA and MessageBoxW on Linux: the text always reaches standard error, and where
// a display is there SDL's simple message box shows it too. SDL is loaded only when a box
// is shown, so the platform library does not depend on it.
#include <dlfcn.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "platform/linux/codepage.h"
#include "platform/linux/report.h"
#include "platform/win32.h"

namespace {

// SDL_MessageBoxFlags and the one call used, as SDL 2 declares them.
constexpr uint32_t kSdlMessageBoxError = 0x10;
constexpr uint32_t kSdlMessageBoxWarning = 0x20;
constexpr uint32_t kSdlMessageBoxInformation = 0x40;
typedef int (*ShowSimpleMessageBoxFn)(uint32_t flags, const char* title, const char* message, void* window);

bool Set(const char* name) {
  const char* value = getenv(name);
  return value && *value;
}

// A display to show a box on: X11 or Wayland, and not a driver that draws nowhere (the
// test suite runs with SDL_VIDEODRIVER=offscreen, where a box would wait for a click
// that never comes).
bool DisplayAvailable() {
  if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY")) return false;
  const char* driver = getenv("SDL_VIDEODRIVER");
  return !driver || (strcmp(driver, "offscreen") != 0 && strcmp(driver, "dummy") != 0);
}

uint32_t SdlFlags(UINT type) {
  switch (type & 0xF0u) {
    case MB_ICONERROR:
      return kSdlMessageBoxError;
    case MB_ICONWARNING:
      return kSdlMessageBoxWarning;
    default:
      return kSdlMessageBoxInformation;
  }
}

void ShowWithSdl(UINT type, const std::string& caption, const std::string& text) {
  // Stays loaded: SDL may keep display resources that unloading would leave dangling.
  void* sdl = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
  if (!sdl) return;  // the text is on standard error already
  auto show = reinterpret_cast<ShowSimpleMessageBoxFn>(dlsym(sdl, "SDL_ShowSimpleMessageBox"));
  if (show) show(SdlFlags(type), caption.c_str(), text.c_str(), nullptr);
}

void Show(UINT type, const std::string& utf8Caption, const std::string& utf8Text) {
  PlatformReport("%s: %s", utf8Caption.c_str(), utf8Text.c_str());
  if (DisplayAvailable()) ShowWithSdl(type, utf8Caption, utf8Text);
}

std::string Utf8FromWide(const WCHAR* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

}  // namespace

// Windows titles a box without caption "Error". Only the OK button exists here, so the
// result is always IDOK.
extern "C" int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  Show(type, PlatformAnsiToUtf8Text(caption ? caption : "Error"), PlatformAnsiToUtf8Text(text ? text : ""));
  return IDOK;
}

int MessageBoxW(HWND owner, const WCHAR* text, const WCHAR* caption, UINT type) {
  Show(type, caption ? Utf8FromWide(caption) : "Error", text ? Utf8FromWide(text) : "");
  return IDOK;
}
