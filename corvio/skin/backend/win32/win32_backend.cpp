// The win32 window backend: real windows showing the canvas with StretchDIBits, mouse and
// keyboard input, modal boxes over a disabled owner, and a hidden message window through
// which drawing and automation come round (GetMessageA is the system's own: no hook).
// Windows are aware of each monitor's DPI: sized and drawn at its pixels, input divided back
// to the skin's units.
#include <math.h>
#include <windowsx.h>

#include <vector>

#include "corvio/report.h"
#include "corvio/skin/backend.h"
#include "platform/win32.h"

namespace corvio {
namespace skin {

struct BackendWindow {
  HWND hwnd = nullptr;
  WindowHost* host = nullptr;
  int width = 0, height = 0;
  std::vector<uint8_t> bgra;  // the canvas as last presented, what WM_PAINT shows
  bool tracking = false;      // TrackMouseEvent will report the next leave
  bool buttonDown = false;    // a press in this window waits for its release
  wchar_t highSurrogate = 0;  // the first half of a character typed in two WM_CHARs
  HWND modalOwner = nullptr;  // disabled while this window is its modal box
  bool hand = false;          // the pointer is over a link
  int wheelRest = 0;          // a high-resolution wheel's part of a notch
  float scale = 1.0f;         // device pixels per unit: the monitor's DPI over 96
  int unitsWide = 0, unitsHigh = 0;
  bool holdPaint = false;     // a present only fills bgra (the window is about to be resized)
};

namespace {

// Posted to the hidden window: draw what changed, then ask the core how long it may idle.
constexpr UINT kMsgAttention = WM_APP + 0x320;
constexpr UINT_PTR kIdleTimer = 1;
const wchar_t kWindowClass[] = L"CorvioSkinWindow";
const wchar_t kAttentionClass[] = L"CorvioSkinAttention";

struct Win32State {
  bool ready = false;
  HWND attention = nullptr;
  bool attentionPosted = false;  // one message in the queue is enough
};

Win32State& State() {
  static Win32State state;
  return state;
}

// The framework library's own module: its window classes belong to it, not to the program.
HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&State), &module);
  return module;
}

std::wstring Wide(const char* utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  if (n <= 1) return std::wstring();
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], n);
  wide.resize(static_cast<size_t>(n - 1));
  return wide;
}

// Calls of newer systems, looked up where they exist (Windows 10 1607 and later; Wine).
template <typename Fn>
Fn SystemCall(const wchar_t* module, const char* name) {
  HMODULE handle = GetModuleHandleW(module);
  if (!handle) handle = LoadLibraryW(module);  // shcore: kept loaded for the process
  return handle ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(handle, name))) : nullptr;
}

// The process draws at each monitor's pixels (per-monitor awareness, version 2), unless
// the program's manifest said so already; older systems get the nearest they know. Before
// any window, so that the system never stretches one as a bitmap.
void DeclareDpiAwareness() {
  using SetContextFn = BOOL(WINAPI*)(HANDLE);
  using SetAwarenessFn = HRESULT(WINAPI*)(int);
  using SetAwareFn = BOOL(WINAPI*)();
  const HANDLE kPerMonitorV2 = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-4));
  const HANDLE kPerMonitor = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-3));
  if (auto set = SystemCall<SetContextFn>(L"user32.dll", "SetProcessDpiAwarenessContext")) {
    // Access denied: the awareness is set already (the manifest), which is final.
    if (set(kPerMonitorV2) || GetLastError() == ERROR_ACCESS_DENIED || set(kPerMonitor)) return;
  }
  if (auto set = SystemCall<SetAwarenessFn>(L"shcore.dll", "SetProcessDpiAwareness")) {
    set(2);  // per monitor
    return;
  }
  if (auto set = SystemCall<SetAwareFn>(L"user32.dll", "SetProcessDPIAware")) set();
}

UINT SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

UINT WindowDpi(HWND hwnd) {
  using GetForWindowFn = UINT(WINAPI*)(HWND);
  static const auto get = SystemCall<GetForWindowFn>(L"user32.dll", "GetDpiForWindow");
  const UINT dpi = get ? get(hwnd) : 0;
  return dpi ? dpi : SystemDpi();
}

float ScaleOfDpi(UINT dpi) { return dpi > 96 ? dpi / 96.0f : 1.0f; }

int Scaled(int units, float scale) { return scale == 1.0f ? units : static_cast<int>(lroundf(units * scale)); }

// A client coordinate in device pixels to units (floor, also left of the window).
int Units(const BackendWindow* w, int pixels) {
  return w->scale == 1.0f ? pixels : static_cast<int>(floorf(pixels / w->scale));
}

// The window's pixels at a scale: its buffer, blank until the next present.
void SizeFor(BackendWindow* w, float scale) {
  w->scale = scale;
  w->width = Scaled(w->unitsWide, scale);
  w->height = Scaled(w->unitsHigh, scale);
  w->bgra.assign(static_cast<size_t>(w->width) * w->height * 4, 0);
}

// The window went to a monitor of another DPI: the core draws it at the new scale into the
// buffer first, then the window takes the system's suggested rectangle and shows it whole,
// so no frame at the old scale is ever stretched.
void ChangeDpi(BackendWindow* w, UINT dpi, const RECT* suggested) {
  const float scale = ScaleOfDpi(dpi);
  if (scale != w->scale) {
    SizeFor(w, scale);
    w->holdPaint = true;
    w->host->OnScaleChanged(scale);
    CoreDrawPending();
    w->holdPaint = false;
  }
  if (suggested)
    SetWindowPos(w->hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(w->hwnd, nullptr, FALSE);
  UpdateWindow(w->hwnd);
}

std::string Failure(const char* what) {
  return std::string(what) + " (error " + std::to_string(GetLastError()) + ")";
}

void ComeRound(HWND window) {
  Win32State& s = State();
  s.attentionPosted = false;
  KillTimer(window, kIdleTimer);
  CoreDrawPending();
  // 0: the core has posted its next step already; -1: nothing to wait for.
  const int idle = CoreIdle();
  if (idle > 0) SetTimer(window, kIdleTimer, static_cast<UINT>(idle), nullptr);
}

LRESULT CALLBACK AttentionProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kMsgAttention || (message == WM_TIMER && wParam == kIdleTimer)) {
    // Nothing may unwind through the system's dispatch.
    Guarded([window] { ComeRound(window); });
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool MapKey(WPARAM vk, Key* out) {
  static const struct {
    WPARAM vk;
    Key key;
  } table[] = {
      {VK_RETURN, Key::Enter}, {VK_ESCAPE, Key::Escape}, {VK_SPACE, Key::Space},
      {VK_BACK, Key::Backspace}, {VK_PRIOR, Key::PageUp}, {VK_NEXT, Key::PageDown},
      {VK_HOME, Key::Home},     {VK_END, Key::End},       {VK_F5, Key::F5},
      {VK_UP, Key::Up},         {VK_DOWN, Key::Down},     {VK_LEFT, Key::Left},
      {VK_RIGHT, Key::Right},
  };
  if (vk == VK_TAB) {
    *out = GetKeyState(VK_SHIFT) < 0 ? Key::ShiftTab : Key::Tab;
    return true;
  }
  for (const auto& row : table)
    if (row.vk == vk) return *out = row.key, true;
  return false;
}

// One UTF-16 unit of WM_CHAR; control characters are keys, handled with WM_KEYDOWN.
void TextInput(BackendWindow* w, wchar_t unit) {
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    w->highSurrogate = unit;
    return;
  }
  wchar_t units[3] = {unit, 0, 0};
  if (unit >= 0xDC00 && unit <= 0xDFFF) {
    if (!w->highSurrogate) return;
    units[0] = w->highSurrogate;
    units[1] = unit;
  }
  w->highSurrogate = 0;
  if (units[0] < 0x20 || units[0] == 0x7F) return;
  char utf8[8] = {0};
  if (WideCharToMultiByte(CP_UTF8, 0, units, -1, utf8, sizeof utf8, nullptr, nullptr) > 1)
    w->host->OnTextInput(utf8);
}

void Paint(BackendWindow* w) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w->hwnd, &ps);
  if (dc && !w->bgra.empty()) {
    RECT r = ps.rcPaint;
    if (r.left < 0) r.left = 0;
    if (r.top < 0) r.top = 0;
    if (r.right > w->width) r.right = w->width;
    if (r.bottom > w->height) r.bottom = w->height;
    if (r.right > r.left && r.bottom > r.top) {
      // The source is the band of rows to show, whole: a source rectangle inside a
      // top-down DIB is placed as if it were bottom-up (seen under Wine); a whole band
      // reads the same either way.
      const int rw = r.right - r.left, rh = r.bottom - r.top;
      BITMAPINFO info = {};
      info.bmiHeader.biSize = sizeof info.bmiHeader;
      info.bmiHeader.biWidth = w->width;
      info.bmiHeader.biHeight = -rh;
      info.bmiHeader.biPlanes = 1;
      info.bmiHeader.biBitCount = 32;
      info.bmiHeader.biCompression = BI_RGB;
      const uint8_t* band = w->bgra.data() + static_cast<size_t>(r.top) * w->width * 4;
      StretchDIBits(dc, r.left, r.top, rw, rh, r.left, 0, rw, rh, band, &info, DIB_RGB_COLORS,
                    SRCCOPY);
    }
  }
  EndPaint(w->hwnd, &ps);
}

LRESULT Handle(BackendWindow* w, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND hwnd = w->hwnd;
  switch (message) {
    case WM_PAINT:
      Paint(w);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers every pixel
    case WM_MOUSEMOVE:
      if (!w->tracking) {
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, hwnd, 0};
        w->tracking = TrackMouseEvent(&track) != FALSE;
      }
      w->host->OnMouseMove(Units(w, GET_X_LPARAM(lParam)), Units(w, GET_Y_LPARAM(lParam)));
      return 0;
    case WM_MOUSELEAVE:
      w->tracking = false;
      w->host->OnMouseLeave();
      return 0;
    case WM_LBUTTONDOWN:
      // Captured, so that the release reaches this window wherever the pointer is then.
      SetCapture(hwnd);
      w->buttonDown = true;
      w->host->OnMouseDown(Units(w, GET_X_LPARAM(lParam)), Units(w, GET_Y_LPARAM(lParam)));
      return 0;
    case WM_LBUTTONUP:
      w->buttonDown = false;
      w->host->OnMouseUp(Units(w, GET_X_LPARAM(lParam)), Units(w, GET_Y_LPARAM(lParam)));
      if (GetCapture() == hwnd) ReleaseCapture();
      return 0;
    case WM_CAPTURECHANGED:
      // Taken away before the release (another window, a menu): the press is no click.
      if (w->buttonDown) {
        w->buttonDown = false;
        w->host->OnMouseUp(-1, -1);
      }
      return 0;
    case WM_NCHITTEST: {
      LRESULT hit = DefWindowProcW(hwnd, message, wParam, lParam);
      if (hit != HTCLIENT) return hit;
      POINT p = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ScreenToClient(hwnd, &p);
      return w->host->IsDragArea(Units(w, p.x), Units(w, p.y)) ? HTCAPTION : HTCLIENT;
    }
    case WM_MOUSEWHEEL: {
      // Screen coordinates; a positive delta turns away from the player, towards the start.
      POINT p = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ScreenToClient(hwnd, &p);
      w->wheelRest += GET_WHEEL_DELTA_WPARAM(wParam);
      const int notches = w->wheelRest / WHEEL_DELTA;
      w->wheelRest -= notches * WHEEL_DELTA;
      if (notches) w->host->OnMouseWheel(Units(w, p.x), Units(w, p.y), -notches);
      return 0;
    }
    case 0x02E0:  // WM_DPICHANGED: the new DPI in wParam, the suggested window rectangle
      ChangeDpi(w, LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(w->hand ? IDC_HAND : IDC_ARROW)));
        return TRUE;
      }
      break;
    case WM_KEYDOWN: {
      Key key;
      if (!MapKey(wParam, &key)) break;
      w->host->OnKey(key);
      return 0;
    }
    case WM_SYSKEYDOWN:
      // Alt+F4 (bit 29: Alt is held), asked of the dialog like the close box.
      if (wParam == VK_F4 && (lParam & (1 << 29))) {
        w->host->OnCloseRequest();
        return 0;
      }
      break;
    case WM_CHAR:
      TextInput(w, static_cast<wchar_t>(wParam));
      return 0;
    case WM_CLOSE:
      // The program decides: it hears of the request and closes the dialog itself.
      w->host->OnCloseRequest();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* w = static_cast<BackendWindow*>(create->lpCreateParams);
    w->hwnd = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
  }
  auto* w = reinterpret_cast<BackendWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!w) return DefWindowProcW(hwnd, message, wParam, lParam);
  LRESULT result = 0;
  if (Guarded([&] { result = Handle(w, message, wParam, lParam); })) return result;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool RegisterOnce(const wchar_t* name, WNDPROC proc, bool withCursor, std::string* error) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = ThisModule();
  wc.hCursor = withCursor ? LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)) : nullptr;
  wc.lpszClassName = name;
  if (RegisterClassExW(&wc) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS) return true;
  *error = Failure("cannot register the window class");
  return false;
}

void RequestAttention() {
  Win32State& s = State();
  if (!s.attention || s.attentionPosted) return;
  s.attentionPosted = PostMessageW(s.attention, kMsgAttention, 0, 0) != FALSE;
}

bool Init(std::string* error) {
  Win32State& s = State();
  if (s.ready) return true;
  DeclareDpiAwareness();
  if (!RegisterOnce(kWindowClass, WindowProc, true, error) ||
      !RegisterOnce(kAttentionClass, AttentionProc, false, error))
    return false;
  s.attention = CreateWindowExW(0, kAttentionClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                ThisModule(), nullptr);
  if (!s.attention) {
    *error = Failure("cannot create the backend's message window");
    return false;
  }
  s.ready = true;
  RequestAttention();  // the first round starts an automation script, if there is one
  return true;
}

BackendWindow* OpenSkinWindow(WindowHost* host, const WindowParams& params, std::string* error) {
  // Borderless: a bare popup, which the task bar can still minimise; the skin draws its
  // own close button and Alt+F4 is handled here.
  const DWORD style = params.borderless ? WS_POPUP | WS_MINIMIZEBOX
                                        : WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  // Sized for the system's DPI (the primary monitor's); once open on another monitor, it
  // takes that one's below.
  const UINT dpi = SystemDpi();
  auto* w = new BackendWindow();
  w->host = host;
  w->unitsWide = params.width;
  w->unitsHigh = params.height;
  SizeFor(w, ScaleOfDpi(dpi));
  // The client area has the skin's size at that scale; a frame, if any, comes around it.
  RECT outer = {0, 0, w->width, w->height};
  using AdjustForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = SystemCall<AdjustForDpiFn>(L"user32.dll", "AdjustWindowRectExForDpi");
  if (!adjustForDpi || !adjustForDpi(&outer, style, FALSE, 0, dpi)) AdjustWindowRectEx(&outer, style, FALSE, 0);
  const int ow = outer.right - outer.left, oh = outer.bottom - outer.top;
  int x = params.x, y = params.y;
  if (params.centered) {
    RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    x = work.left + (work.right - work.left - ow) / 2;
    y = work.top + (work.bottom - work.top - oh) / 2;
  }
  const std::wstring title = Wide(params.titleUtf8.c_str());
  if (!CreateWindowExW(0, kWindowClass, title.c_str(), style, x, y, ow, oh, nullptr, nullptr,
                       ThisModule(), w)) {
    *error = Failure("cannot create the window");
    delete w;
    return nullptr;
  }
  // The system may place it on a monitor of another DPI than asked.
  const UINT actual = WindowDpi(w->hwnd);
  if (actual != dpi) {
    RECT r;
    GetWindowRect(w->hwnd, &r);
    RECT client = {0, 0, Scaled(params.width, ScaleOfDpi(actual)), Scaled(params.height, ScaleOfDpi(actual))};
    if (!adjustForDpi || !adjustForDpi(&client, style, FALSE, 0, actual)) AdjustWindowRectEx(&client, style, FALSE, 0);
    r.right = r.left + client.right - client.left;
    r.bottom = r.top + client.bottom - client.top;
    ChangeDpi(w, actual, &r);
  }
  return w;
}

void GiveBackOwner(BackendWindow* w) {
  HWND owner = w->modalOwner;
  w->modalOwner = nullptr;
  if (!owner || !IsWindow(owner)) return;
  EnableWindow(owner, TRUE);
  if (IsWindowVisible(owner)) {
    SetActiveWindow(owner);
    SetFocus(owner);
  }
}

void CloseSkinWindow(BackendWindow* w) {
  if (!w) return;
  GiveBackOwner(w);
  SetWindowLongPtrW(w->hwnd, GWLP_USERDATA, 0);
  DestroyWindow(w->hwnd);
  delete w;
}

void ShowSkinWindow(BackendWindow* w, bool show) {
  ShowWindow(w->hwnd, show ? SW_SHOW : SW_HIDE);
}

void Present(BackendWindow* w, const Canvas& canvas, const Rect& dirty) {
  const int cw = canvas.Width() < w->width ? canvas.Width() : w->width;
  const int ch = canvas.Height() < w->height ? canvas.Height() : w->height;
  const Rect r = Intersect(dirty, Rect{0, 0, cw, ch});
  if (r.Empty()) return;
  for (int y = r.y; y < r.y + r.h; ++y) {
    const uint8_t* src = canvas.Pixels() + (static_cast<size_t>(y) * canvas.Width() + r.x) * 4;
    uint8_t* dst = w->bgra.data() + (static_cast<size_t>(y) * w->width + r.x) * 4;
    for (int x = 0; x < r.w; ++x, src += 4, dst += 4) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
      dst[3] = 0;
    }
  }
  if (w->holdPaint) return;
  RECT changed = {r.x, r.y, r.x + r.w, r.y + r.h};
  InvalidateRect(w->hwnd, &changed, FALSE);
  UpdateWindow(w->hwnd);  // on the screen now, not when the queue next runs empty
}

void SetTitle(BackendWindow* w, const char* titleUtf8) {
  SetWindowTextW(w->hwnd, Wide(titleUtf8).c_str());
}

bool GetPosition(BackendWindow* w, int* x, int* y) {
  RECT r;
  if (!GetWindowRect(w->hwnd, &r)) return false;
  *x = r.left;
  *y = r.top;
  return true;
}

void Raise(BackendWindow* w) {
  // Raising alone leaves a minimised window an icon.
  if (IsIconic(w->hwnd)) ShowWindow(w->hwnd, SW_RESTORE);
  // The foreground alone need not restack it (Wine leaves it under the window that
  // covered it): to the top of the order first, then the foreground.
  SetWindowPos(w->hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(w->hwnd);
}

void SetModalFor(BackendWindow* w, BackendWindow* owner) {
  if (!owner) {
    GiveBackOwner(w);
    return;
  }
  if (w->modalOwner && w->modalOwner != owner->hwnd) GiveBackOwner(w);
  // Owned, the box stays above its owner and off the task bar; the disabled owner hands
  // a click on it to the box.
  SetWindowLongPtrW(w->hwnd, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner->hwnd));
  w->modalOwner = owner->hwnd;
  EnableWindow(owner->hwnd, FALSE);
}

void SetHandCursor(BackendWindow* w, bool hand) {
  if (w->hand == hand) return;
  w->hand = hand;
  SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(hand ? IDC_HAND : IDC_ARROW)));
}

float ScaleOf(BackendWindow* w) { return w->scale; }

const BackendOps kWin32Ops = {
    "win32",          Init,     OpenSkinWindow, CloseSkinWindow, ShowSkinWindow, Present,
    RequestAttention, SetTitle, GetPosition,    Raise,           SetModalFor, SetHandCursor,
    ScaleOf,
};

}  // namespace

const BackendOps* ActiveBackend() { return &kWin32Ops; }

}  // namespace skin
}  // namespace corvio
