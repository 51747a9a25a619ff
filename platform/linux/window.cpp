// Window classes and windows without a display of their own: message-only windows and
// the handles that a window backend gives its on-screen windows.
#include <string.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/linux/window_internal.h"
#include "platform/win32.h"

namespace {

constexpr int kIndexWndProc = -4;  // GWLP_WNDPROC
constexpr DWORD kErrorClassAlreadyExists = 1410;
constexpr DWORD kErrorCannotFindWndClass = 1407;
constexpr DWORD kErrorInvalidIndex = 1413;

struct WindowClass {
  std::string name;
  ATOM atom;
  WNDPROC proc;
  int extraBytes;
};

struct Window {
  WNDPROC proc = nullptr;
  LONG_PTR userData = 0;
  DWORD threadId = 0;
  HWND parent = nullptr;
  std::vector<LONG_PTR> extra;  // cbWndExtra, in LONG_PTR slots
  bool destroying = false;
};

// Never destroyed: detached threads may still post while the process exits.
struct WindowTable {
  std::mutex mutex;
  std::vector<WindowClass> classes;
  std::map<uintptr_t, Window> windows;
  // Handles are never reused, so a stale handle never names a newer window. Even values
  // from 0x10010 upward fit in 32 bits for the life of any real process.
  uintptr_t nextHandle = 0x10010;
  ATOM nextAtom = 0xC000;
};

WindowTable& Table() {
  static WindowTable* table = new WindowTable;
  return *table;
}

bool SameName(const std::string& a, const char* b) {
  return strcasecmp(a.c_str(), b) == 0;
}

// A class "name" below 0x10000 is an atom, as MAKEINTATOM makes it.
const WindowClass* FindClass(const WindowTable& table, LPCSTR name) {
  uintptr_t value = reinterpret_cast<uintptr_t>(name);
  for (const WindowClass& c : table.classes) {
    if (value < 0x10000 ? c.atom == value : SameName(c.name, name)) return &c;
  }
  return nullptr;
}

Window* FindLocked(WindowTable& table, HWND window) {
  auto it = table.windows.find(reinterpret_cast<uintptr_t>(window));
  return it == table.windows.end() ? nullptr : &it->second;
}

// Runs `use` on the window under the table's lock. A handle that names no window sets
// ERROR_INVALID_WINDOW_HANDLE and gives `missing`.
template <typename Result, typename Use>
Result WithWindow(HWND window, Result missing, Use use) {
  WindowTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  Window* w = FindLocked(table, window);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return missing;
  }
  return use(*w);
}

}  // namespace

WNDPROC PlatformWindowProc(HWND window) {
  return WithWindow(window, WNDPROC{}, [](Window& w) { return w.proc; });
}

void PlatformForgetThreadWindows(DWORD threadId) {
  WindowTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  for (auto it = table.windows.begin(); it != table.windows.end();) {
    if (it->second.threadId == threadId) it = table.windows.erase(it);
    else ++it;
  }
}

// A second class of the same name fails with ERROR_CLASS_ALREADY_EXISTS (1410).
extern "C" ATOM RegisterClassA(const WNDCLASSA* windowClass) {
  if (!windowClass || !windowClass->lpszClassName || !windowClass->lpfnWndProc ||
      reinterpret_cast<uintptr_t>(windowClass->lpszClassName) < 0x10000 ||
      windowClass->cbWndExtra < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  WindowTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  if (FindClass(table, windowClass->lpszClassName)) {
    SetLastError(kErrorClassAlreadyExists);
    return 0;
  }
  ATOM atom = table.nextAtom++;
  table.classes.push_back({windowClass->lpszClassName, atom, windowClass->lpfnWndProc,
                           windowClass->cbWndExtra});
  return atom;
}

// The window belongs to the calling thread. WM_CREATE arrives before the call returns,
// with a CREATESTRUCTA whose lpCreateParams is `parameter`; a result of -1 destroys the
// window again and the call returns null.
extern "C" HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName,
                                DWORD style, int x, int y, int width, int height,
                                HWND parent, HMENU menu, HINSTANCE instance, LPVOID parameter) {
  PlatformEnsureMessageQueue();
  WindowTable& table = Table();
  HWND handle;
  WNDPROC proc;
  {
    std::lock_guard<std::mutex> lock(table.mutex);
    const WindowClass* windowClass = className ? FindClass(table, className) : nullptr;
    if (!windowClass) {
      SetLastError(kErrorCannotFindWndClass);
      return nullptr;
    }
    if (parent && parent != HWND_MESSAGE && !FindLocked(table, parent)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    Window w;
    w.proc = proc = windowClass->proc;
    w.threadId = GetCurrentThreadId();
    w.parent = parent;
    w.extra.assign((windowClass->extraBytes + sizeof(LONG_PTR) - 1) / sizeof(LONG_PTR), 0);
    uintptr_t value = table.nextHandle;
    table.nextHandle += 2;
    table.windows.emplace(value, std::move(w));
    handle = reinterpret_cast<HWND>(value);
  }
  CREATESTRUCTA create{};
  create.lpCreateParams = parameter;
  create.hInstance = instance;
  create.hMenu = menu;
  create.hwndParent = parent;
  create.cy = height;
  create.cx = width;
  create.y = y;
  create.x = x;
  create.style = static_cast<LONG>(style);
  create.lpszName = windowName;
  create.lpszClass = className;
  create.dwExStyle = exStyle;
  if (proc(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(handle);
    return nullptr;
  }
  return handle;
}

// Only the owning thread may destroy a window (ERROR_ACCESS_DENIED otherwise). The
// window gets WM_DESTROY before its children do; the handle stays valid until then.
extern "C" BOOL DestroyWindow(HWND window) {
  WindowTable& table = Table();
  WNDPROC proc;
  {
    std::lock_guard<std::mutex> lock(table.mutex);
    Window* w = FindLocked(table, window);
    if (!w) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    if (w->threadId != GetCurrentThreadId()) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (w->destroying) return TRUE;  // destroyed again from inside its own WM_DESTROY
    w->destroying = true;
    proc = w->proc;
  }
  proc(window, WM_DESTROY, 0, 0);
  std::vector<HWND> children;
  {
    std::lock_guard<std::mutex> lock(table.mutex);
    for (auto& entry : table.windows) {
      if (entry.second.parent == window) children.push_back(reinterpret_cast<HWND>(entry.first));
    }
  }
  for (HWND child : children) DestroyWindow(child);
  std::lock_guard<std::mutex> lock(table.mutex);
  table.windows.erase(reinterpret_cast<uintptr_t>(window));
  return TRUE;
}

extern "C" BOOL IsWindow(HWND window) {
  WindowTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  return FindLocked(table, window) ? TRUE : FALSE;
}

// WM_CLOSE destroys the window; everything else is answered with 0.
extern "C" LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) DestroyWindow(window);
  return 0;
}

// GWLP_USERDATA, GWLP_WNDPROC and the class's extra bytes. The previous value comes back;
// a previous 0 is not told apart from failure unless the caller cleared the last error.
// The window's extra bytes (cbWndExtra) hold whole LONG_PTR values at aligned indexes.
static LONG_PTR* ExtraSlot(Window* w, int index) {
  if (index < 0 || index % sizeof(LONG_PTR) != 0) return nullptr;
  const size_t i = static_cast<size_t>(index) / sizeof(LONG_PTR);
  return i < w->extra.size() ? &w->extra[i] : nullptr;
}

extern "C" LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  return WithWindow(window, LONG_PTR{}, [&](Window& w) -> LONG_PTR {
    LONG_PTR previous;
    if (index == GWLP_USERDATA) {
      previous = w.userData;
      w.userData = value;
    } else if (index == kIndexWndProc && value) {
      previous = reinterpret_cast<LONG_PTR>(w.proc);
      w.proc = reinterpret_cast<WNDPROC>(value);
    } else if (LONG_PTR* slot = ExtraSlot(&w, index)) {
      previous = *slot;
      *slot = value;
    } else {
      SetLastError(kErrorInvalidIndex);
      return 0;
    }
    return previous;
  });
}

extern "C" LONG_PTR GetWindowLongPtrA(HWND window, int index) {
  return WithWindow(window, LONG_PTR{}, [&](Window& w) -> LONG_PTR {
    if (index == GWLP_USERDATA) return w.userData;
    if (index == kIndexWndProc) return reinterpret_cast<LONG_PTR>(w.proc);
    if (const LONG_PTR* slot = ExtraSlot(&w, index)) return *slot;
    SetLastError(kErrorInvalidIndex);
    return 0;
  });
}

// 0 for a handle that names no window.
extern "C" DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId) {
  return WithWindow(window, DWORD{}, [&](Window& w) {
    if (processId) *processId = static_cast<DWORD>(getpid());
    return w.threadId;
  });
}
