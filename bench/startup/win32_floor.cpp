// The floor of the start-up benchmark under Wine: the least a Win32 program does to show a
// window of the launcher's size once (a borderless window filled with one colour). It writes
// the steady clock's time of its first paint to the file named by its argument, in the
// automation stamp's format (the clock the launcher's stamp uses), and ends.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <chrono>

namespace {

bool painted = false;

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  HBRUSH brush = CreateSolidBrush(RGB(0x20, 0x30, 0x48));
  FillRect(dc, &ps.rcPaint, brush);
  DeleteObject(brush);
  GdiFlush();
  EndPaint(window, &ps);
  painted = true;
  return 0;
}

}  // namespace

// A window program, as the launcher is (a console program would start a console first).
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc != 2) return 2;  // usage: win32_floor STAMP-FILE
  WNDCLASSW wc = {};
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.lpszClassName = L"Win32Floor";
  RegisterClassW(&wc);
  const int w = 900, h = 560;
  HWND window = CreateWindowExW(0, L"Win32Floor", L"floor", WS_POPUP, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                                (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, nullptr, nullptr,
                                wc.hInstance, nullptr);
  if (!window) return 1;
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);  // paints now
  const long long us = std::chrono::duration_cast<std::chrono::microseconds>(
                           std::chrono::steady_clock::now().time_since_epoch()).count();
  if (!painted) return 1;
  FILE* out = fopen(__argv[1], "w");
  if (!out) return 1;
  fprintf(out, "first_present_us=%lld\n", us);
  fclose(out);
  DestroyWindow(window);
  return 0;
}
