// Another program's window over the launcher, for the end-to-end tests under Wine: it
// covers the screen and takes the foreground (minimising the launcher first when asked),
// then keeps writing where the launcher stands: whether it is the foreground window,
// above this one in the window order, and minimised.
// Usage: cover_window OUT_FILE MILLISECONDS [minimise]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

// The launcher's window: the skin engine's class, titled as the launcher's dialog.
HWND Launcher() { return FindWindowW(L"CorvioSkinWindow", L"ZentPorter"); }

bool Above(HWND upper, HWND lower) {
  for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (w == upper) return true;
    if (w == lower) return false;
  }
  return false;
}

void Write(const char* file, const char* text) {
  const std::string partial = std::string(file) + ".partial";
  FILE* out = fopen(partial.c_str(), "wb");
  if (!out) return;
  fputs(text, out);
  fclose(out);
  MoveFileExA(partial.c_str(), file, MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: cover_window OUT_FILE MILLISECONDS [minimise]\n");
    return 2;
  }
  HWND launcher = Launcher();
  if (!launcher) return 3;
  if (argc > 3 && !strcmp(argv[3], "minimise")) ShowWindow(launcher, SW_MINIMIZE);
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  wc.lpszClassName = L"CoverWindow";
  RegisterClassW(&wc);
  HWND cover = CreateWindowExW(0, L"CoverWindow", L"cover", WS_POPUP | WS_VISIBLE, 0, 0,
                               GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr,
                               nullptr, wc.hInstance, nullptr);
  if (!cover) return 4;
  SetForegroundWindow(cover);
  const DWORD start = GetTickCount(), limit = static_cast<DWORD>(atoi(argv[2]));
  while (GetTickCount() - start < limit) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    char state[128];
    snprintf(state, sizeof state, "covered=%d\nforeground=%d\nabove=%d\niconic=%d\n",
             GetForegroundWindow() == cover && Above(cover, launcher) ? 1 : 0,
             GetForegroundWindow() == launcher ? 1 : 0, Above(launcher, cover) ? 1 : 0,
             IsIconic(launcher) ? 1 : 0);
    Write(argv[1], state);
    Sleep(20);
  }
  return 0;
}
