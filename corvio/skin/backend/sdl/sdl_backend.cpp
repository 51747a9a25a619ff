// The SDL2 window backend: real windows, input, presenting the canvas, and the join with
// the platform message loop (the loop blocks in poll() on SDL's display connection and a
// wake-up descriptor, so an idle window costs no CPU; a lost display ends the program).
#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <dlfcn.h>
#include <math.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <map>

#include "corvio/report.h"
#include "corvio/skin/backend.h"
#include "corvio/skin/pixel_memory.h"
#include "platform/linux/message_hook.h"

// The platform's own, declared here: its header cannot share a unit with Xlib's names,
// which SDL_syswm.h brings in.
extern "C" void PostQuitMessage(int exitCode);

namespace corvio {
namespace skin {

struct BackendWindow {
  SDL_Window* window = nullptr;
  WindowHost* host = nullptr;
  Uint32 modalOwner = 0;  // by id: the owner may be gone before the box ends
  float scale = 1.0f;     // device pixels per unit
  int unitsWide = 0, unitsHigh = 0;
};

namespace {

struct SdlState {
  // At exit: the windows still open and SDL itself are closed, so nothing is left behind.
  ~SdlState() {
    if (!ready) return;
    // The hook stays: the platform's queue may already be gone at this point.
    // On a lost display SDL's clean-up would wait for answers that never come.
    const bool gone = lost || xLost;
    for (auto& entry : windows) {
      if (!gone) SDL_DestroyWindow(entry.second->window);
      delete entry.second;
    }
    windows.clear();
    if (!gone) SDL_Quit();
    if (wakeFd >= 0) close(wakeFd);
    wakeFd = -1;
  }
  bool ready = false;
  int wakeFd = -1;
  int displayFd = -1;     // the X11 or Wayland connection, when the driver has one
  bool wayland = false;   // key repeat is made by SDL's pump, not by the compositor
  bool xLost = false;     // set by Xlib when it finds the connection broken
  bool lost = false;      // the display is gone: SDL is left alone from then on
  bool drawPending = false;
  std::map<Uint32, BackendWindow*> windows;
  PlatformMessageHook hook{};
};

SdlState& State() {
  static SdlState state;
  return state;
}

// From the loss on, no SDL window call is made: on a dead X connection some of them
// (hiding, destroying) wait for the server's answer for ever.
bool DisplayGone() { return State().lost || State().xLost; }

BackendWindow* WindowFor(Uint32 id) {
  auto it = State().windows.find(id);
  return it == State().windows.end() ? nullptr : it->second;
}

// Device pixels per unit on a display: CORVIO_SCALE when set (tests, or a player's
// choice), else the display's DPI over 96 in quarter steps; from 1 to 4.
float DisplayScale(int display) {
  float scale = 1.0f;
  const char* forced = getenv("CORVIO_SCALE");
  float hdpi = 0;
  if (forced && *forced) scale = strtof(forced, nullptr);
  else if (SDL_GetDisplayDPI(display, nullptr, &hdpi, nullptr) == 0 && hdpi > 0)
    scale = roundf(hdpi / 96.0f * 4.0f) / 4.0f;
  if (!(scale >= 1.0f)) return 1.0f;  // also a malformed value
  return scale > 4.0f ? 4.0f : scale;
}

// A window coordinate in device pixels to units (floor, also for points left of the window).
int Units(const BackendWindow* w, int pixels) {
  if (w->scale == 1.0f) return pixels;
  return static_cast<int>(floorf(pixels / w->scale));
}

// The window's display changed: at another scale it takes the new size and is drawn anew.
void FollowDisplay(BackendWindow* w) {
  const int display = SDL_GetWindowDisplayIndex(w->window);
  const float scale = DisplayScale(display < 0 ? 0 : display);
  if (scale == w->scale) return;
  w->scale = scale;
  SDL_SetWindowSize(w->window, static_cast<int>(lroundf(w->unitsWide * scale)),
                    static_cast<int>(lroundf(w->unitsHigh * scale)));
  w->host->OnScaleChanged(scale);
}

bool MapKey(const SDL_KeyboardEvent& key, Key* out) {
  static const struct {
    SDL_Keycode sym;
    Key key;
  } table[] = {
      {SDLK_RETURN, Key::Enter},   {SDLK_KP_ENTER, Key::Enter},   {SDLK_ESCAPE, Key::Escape},
      {SDLK_SPACE, Key::Space},    {SDLK_BACKSPACE, Key::Backspace}, {SDLK_PAGEUP, Key::PageUp},
      {SDLK_PAGEDOWN, Key::PageDown}, {SDLK_HOME, Key::Home},     {SDLK_END, Key::End},
      {SDLK_F5, Key::F5},          {SDLK_UP, Key::Up},            {SDLK_DOWN, Key::Down},
      {SDLK_LEFT, Key::Left},      {SDLK_RIGHT, Key::Right},
  };
  if (key.keysym.sym == SDLK_TAB) {
    *out = (key.keysym.mod & KMOD_SHIFT) ? Key::ShiftTab : Key::Tab;
    return true;
  }
  for (const auto& row : table)
    if (row.sym == key.keysym.sym) return *out = row.key, true;
  return false;
}

void HandleEvent(const SDL_Event& e) {
  switch (e.type) {
    case SDL_MOUSEMOTION:
      if (BackendWindow* w = WindowFor(e.motion.windowID))
        w->host->OnMouseMove(Units(w, e.motion.x), Units(w, e.motion.y));
      break;
    case SDL_MOUSEBUTTONDOWN:
      if (e.button.button != SDL_BUTTON_LEFT) break;
      if (BackendWindow* w = WindowFor(e.button.windowID))
        w->host->OnMouseDown(Units(w, e.button.x), Units(w, e.button.y));
      break;
    case SDL_MOUSEBUTTONUP:
      if (e.button.button != SDL_BUTTON_LEFT) break;
      if (BackendWindow* w = WindowFor(e.button.windowID))
        w->host->OnMouseUp(Units(w, e.button.x), Units(w, e.button.y));
      break;
    case SDL_MOUSEWHEEL: {
      BackendWindow* w = WindowFor(e.wheel.windowID);
      const int notches = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? e.wheel.y : -e.wheel.y;
      int x = 0, y = 0;
      SDL_GetMouseState(&x, &y);
      if (w && notches) w->host->OnMouseWheel(Units(w, x), Units(w, y), notches);
      break;
    }
    case SDL_KEYDOWN: {
      BackendWindow* w = WindowFor(e.key.windowID);
      if (!w) break;
      if (e.key.keysym.sym == SDLK_F4 && (e.key.keysym.mod & KMOD_ALT)) {
        w->host->OnCloseRequest();
        break;
      }
      Key key;
      if (MapKey(e.key, &key)) w->host->OnKey(key);
      break;
    }
    case SDL_TEXTINPUT:
      if (BackendWindow* w = WindowFor(e.text.windowID)) w->host->OnTextInput(e.text.text);
      break;
    case SDL_WINDOWEVENT: {
      BackendWindow* w = WindowFor(e.window.windowID);
      if (!w) break;
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          w->host->OnCloseRequest();
          break;
        case SDL_WINDOWEVENT_LEAVE:
          w->host->OnMouseLeave();
          break;
        case SDL_WINDOWEVENT_DISPLAY_CHANGED:
          FollowDisplay(w);
          break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          w->host->OnExposed();
          break;
        default:
          break;
      }
      break;
    }
    default:
      break;
  }
}

// Without a descriptor to wait on, the loop comes round this often while a window is
// shown, so input the driver queues is still served.
constexpr int kUnwatchedPollMs = 10;

// Once, on the user-interface thread: the program ends through its own loop and teardown.
void DisplayLost() {
  SdlState& s = State();
  if (s.lost) return;
  s.lost = true;
  Report("", "display connection lost");
  PostQuitMessage(1);
}

void Pump(void*) {
  SdlState& s = State();
  if (!s.lost && s.xLost) DisplayLost();
  if (s.lost) {
    // Pumping would talk to the dead connection again; what is queued is dropped.
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    s.drawPending = false;
    return;
  }
  // Called from the platform's message loop: nothing may unwind into it.
  SDL_Event e;
  while (SDL_PollEvent(&e)) Guarded([&] { HandleEvent(e); });
  if (s.xLost) {
    DisplayLost();
    return;
  }
  s.drawPending = false;
  Guarded([] { CoreDrawPending(); });
}

void Drain(int fd) {
  uint64_t count;
  if (fd >= 0) (void)!read(fd, &count, sizeof count);
}

bool AnyWindowShown() {
  for (const auto& entry : State().windows)
    if (SDL_GetWindowFlags(entry.second->window) & SDL_WINDOW_SHOWN) return true;
  return false;
}

bool AnyKeyHeld() {
  int count = 0;
  const Uint8* keys = SDL_GetKeyboardState(&count);
  for (int i = 0; keys && i < count; ++i)
    if (keys[i]) return true;
  return false;
}

void Wait(void*, int timeoutMs) {
  SdlState& s = State();
  if (!s.lost) {
    SDL_PumpEvents();
    // Xlib noticed the loss inside the pump; the next pump says so and posts the quit.
    if (s.xLost) return;
    if (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) return;
    // A driver that is not running any more (its windows and events are gone with it).
    if (!SDL_WasInit(SDL_INIT_VIDEO) || !SDL_GetCurrentVideoDriver()) {
      DisplayLost();
      return;
    }
  }
  if (s.drawPending) return;
  int idle = CoreIdle();
  if (idle == 0) return;
  int timeout = timeoutMs;
  if (idle > 0 && (timeout < 0 || idle < timeout)) timeout = idle;
  const bool watchDisplay = !s.lost && s.displayFd >= 0;
  // A hidden, idle program still waits without limit.
  const bool bounded = !s.lost && ((!watchDisplay && AnyWindowShown()) || (s.wayland && AnyKeyHeld()));
  if (bounded && (timeout < 0 || timeout > kUnwatchedPollMs)) timeout = kUnwatchedPollMs;
  pollfd fds[2];
  int n = 0;
  fds[n++] = pollfd{s.wakeFd, POLLIN, 0};
  if (watchDisplay) fds[n++] = pollfd{s.displayFd, POLLIN, 0};
  poll(fds, n, timeout);
  if (fds[0].revents & POLLIN) Drain(s.wakeFd);
  // A hang-up stays readable forever: waiting on it again would spin.
  if (watchDisplay && (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL))) DisplayLost();
}

void Wake(void*) {
  uint64_t one = 1;
  int fd = State().wakeFd;
  if (fd >= 0) (void)!write(fd, &one, sizeof one);
}

// A function of a library SDL has loaded, without linking it here: SDL may have opened it
// privately, so the library itself is asked when the global scope does not have it.
void* LoadedSymbol(const char* library, const char* name) {
  if (void* fn = dlsym(RTLD_DEFAULT, name)) return fn;
  void* handle = dlopen(library, RTLD_NOW | RTLD_NOLOAD);
  if (!handle) return nullptr;
  void* fn = dlsym(handle, name);
  dlclose(handle);  // SDL still holds it
  return fn;
}

// Called by Xlib instead of exiting when the connection breaks; returning leaves the
// display dead, and Xlib calls on it return at once.
void XConnectionBroken(void*, void*) { State().xLost = true; }

// Xlib's own handler prints a report of its own before the exit handler runs: quiet, since
// the loss is reported once, as this program words it.
int XQuietIoError(void*) { return 0; }

void WatchX11(void* display) {
  using ExitHandlerFn = void (*)(void*, void*);
  using SetExitHandlerFn = void (*)(void*, ExitHandlerFn, void*);
  using IoHandlerFn = int (*)(void*);
  using SetIoHandlerFn = IoHandlerFn (*)(IoHandlerFn);
  auto setExit = reinterpret_cast<SetExitHandlerFn>(LoadedSymbol("libX11.so.6", "XSetIOErrorExitHandler"));
  auto setIo = reinterpret_cast<SetIoHandlerFn>(LoadedSymbol("libX11.so.6", "XSetIOErrorHandler"));
  // Without the exit handler (libX11 before 1.7) Xlib exits on the loss whatever happens:
  // its own report then stays.
  if (!setExit) return;
  setExit(display, XConnectionBroken, nullptr);
  if (setIo) setIo(XQuietIoError);
}

// The display connection's descriptor (X11 or Wayland), or -1 for drivers without one.
int DisplayFdOf(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info)) return -1;
  using DescriptorFn = int (*)(void*);
  if (info.subsystem == SDL_SYSWM_X11) {
    auto fn = reinterpret_cast<DescriptorFn>(LoadedSymbol("libX11.so.6", "XConnectionNumber"));
    if (!fn || !info.info.x11.display) return -1;
    WatchX11(info.info.x11.display);
    return fn(info.info.x11.display);
  }
#if defined(SDL_VIDEO_DRIVER_WAYLAND)
  if (info.subsystem == SDL_SYSWM_WAYLAND) {
    State().wayland = true;
    auto fn = reinterpret_cast<DescriptorFn>(LoadedSymbol("libwayland-client.so.0", "wl_display_get_fd"));
    if (!fn || !info.info.wl.display) return -1;
    return fn(info.info.wl.display);
  }
#endif
  return -1;
}

bool Init(std::string* error) {
  SdlState& s = State();
  if (s.ready) return true;
  // Before SDL allocates: its window surface, as large as the canvas, then comes from the
  // same huge-page-friendly memory (pixel_memory.h).
  SDL_SetMemoryFunctions(PixelMalloc, PixelCalloc, PixelRealloc, PixelFree);
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  // The canvas is drawn in software; a GL renderer behind the window surface buys nothing.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    *error = SDL_GetError();
    return false;
  }
  s.wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (s.wakeFd < 0) {
    *error = "no wake-up descriptor";
    SDL_Quit();
    return false;
  }
  s.hook.context = &s;
  s.hook.pump = Pump;
  s.hook.wait = Wait;
  s.hook.wake = Wake;
  PlatformSetMessageHook(&s.hook);
  s.ready = true;
  return true;
}

SDL_HitTestResult HitTest(SDL_Window*, const SDL_Point* point, void* data) {
  auto* w = static_cast<BackendWindow*>(data);
  return w->host->IsDragArea(Units(w, point->x), Units(w, point->y)) ? SDL_HITTEST_DRAGGABLE : SDL_HITTEST_NORMAL;
}

BackendWindow* CreateWindow(WindowHost* host, const WindowParams& params, std::string* error) {
  if (DisplayGone()) {
    *error = "display connection lost";
    return nullptr;
  }
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (params.borderless) flags |= SDL_WINDOW_BORDERLESS;
  int x = params.centered ? SDL_WINDOWPOS_CENTERED : params.x;
  int y = params.centered ? SDL_WINDOWPOS_CENTERED : params.y;
  // The display the window opens on gives its scale (centred: the first).
  int display = 0;
  const int displays = params.centered ? 0 : SDL_GetNumVideoDisplays();
  for (int i = 0; i < displays; ++i) {
    SDL_Rect bounds;
    SDL_Point at{x, y};
    if (SDL_GetDisplayBounds(i, &bounds) == 0 && SDL_PointInRect(&at, &bounds)) display = i;
  }
  const float scale = DisplayScale(display);
  SDL_Window* window = SDL_CreateWindow(params.titleUtf8.c_str(), x, y, static_cast<int>(lroundf(params.width * scale)),
                                        static_cast<int>(lroundf(params.height * scale)), flags);
  if (!window) {
    *error = SDL_GetError();
    return nullptr;
  }
  auto* w = new BackendWindow{window, host};
  w->scale = scale;
  w->unitsWide = params.width;
  w->unitsHigh = params.height;
  SDL_SetWindowHitTest(window, HitTest, w);  // unsupported drivers just have no drag area
  State().windows[SDL_GetWindowID(window)] = w;
  if (State().displayFd < 0) State().displayFd = DisplayFdOf(window);
  return w;
}

void DestroyWindow(BackendWindow* w) {
  if (!w) return;
  State().windows.erase(SDL_GetWindowID(w->window));
  if (!DisplayGone()) SDL_DestroyWindow(w->window);
  delete w;
}

void ShowWindow(BackendWindow* w, bool show) {
  if (DisplayGone()) return;
  if (show) SDL_ShowWindow(w->window);
  else SDL_HideWindow(w->window);
}

// The canvas's RGBA bytes into a window surface of 32-bit XRGB words, the usual format: a
// plain loop the compiler vectorises, where SDL's general blit converts pixel by pixel.
bool CopyToXrgb(const Canvas& canvas, const Rect& r, SDL_Surface* target) {
  const Uint32 format = target->format->format;
  if ((format != SDL_PIXELFORMAT_XRGB8888 && format != SDL_PIXELFORMAT_ARGB8888) || SDL_MUSTLOCK(target) ||
      target->w < r.x + r.w || target->h < r.y + r.h)
    return false;
  for (int y = r.y; y < r.y + r.h; ++y) {
    const uint8_t* s = canvas.Pixels() + (static_cast<size_t>(y) * canvas.Width() + r.x) * 4;
    Uint32* d = reinterpret_cast<Uint32*>(static_cast<uint8_t*>(target->pixels) + static_cast<size_t>(y) * target->pitch) + r.x;
    for (int x = 0; x < r.w; ++x, s += 4)
      d[x] = 0xFF000000u | (Uint32{s[0]} << 16) | (Uint32{s[1]} << 8) | s[2];
  }
  return true;
}

void Present(BackendWindow* w, const Canvas& canvas, const Rect& dirty) {
  if (DisplayGone()) return;
  SDL_Surface* target = SDL_GetWindowSurface(w->window);
  if (!target) return;
  if (CopyToXrgb(canvas, dirty, target)) {
    SDL_Rect whole{dirty.x, dirty.y, dirty.w, dirty.h};
    SDL_UpdateWindowSurfaceRects(w->window, &whole, 1);
    return;
  }
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<uint8_t*>(canvas.Pixels()), canvas.Width(), canvas.Height(), 32,
      canvas.Width() * 4, SDL_PIXELFORMAT_RGBA32);
  if (!source) return;
  SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
  SDL_Rect r{dirty.x, dirty.y, dirty.w, dirty.h};
  SDL_Rect d = r;
  SDL_BlitSurface(source, &r, target, &d);
  SDL_FreeSurface(source);
  SDL_UpdateWindowSurfaceRects(w->window, &r, 1);
}

void RequestAttention() {
  State().drawPending = true;
  Wake(nullptr);
}

void SetTitle(BackendWindow* w, const char* title) {
  if (!DisplayGone()) SDL_SetWindowTitle(w->window, title);
}

bool GetPosition(BackendWindow* w, int* x, int* y) {
  SDL_GetWindowPosition(w->window, x, y);
  return true;
}

void Raise(BackendWindow* w) {
  if (DisplayGone()) return;
  // Raising alone leaves a minimised window an icon.
  if (SDL_GetWindowFlags(w->window) & SDL_WINDOW_MINIMIZED) SDL_RestoreWindow(w->window);
  SDL_RaiseWindow(w->window);
}

// The window system learns that the box belongs to its owner (X11: the manager keeps it
// above the owner and out of its way; elsewhere SDL cannot say so, and the core alone
// keeps input from the owner). When the box ends, the owner comes to the front with the
// keyboard focus.
void SetModalFor(BackendWindow* w, BackendWindow* owner) {
  if (DisplayGone()) return;
  if (owner) {
    w->modalOwner = SDL_GetWindowID(owner->window);
    SDL_SetWindowModalFor(w->window, owner->window);
    return;
  }
  SDL_Window* back = w->modalOwner ? SDL_GetWindowFromID(w->modalOwner) : nullptr;
  w->modalOwner = 0;
  if (!back) return;
  SDL_RaiseWindow(back);
  SDL_SetWindowInputFocus(back);
}

void SetHandCursor(BackendWindow* w, bool hand) {
  if (DisplayGone()) return;
  // System cursors are made once and kept for the process's life, as SDL expects.
  static SDL_Cursor* const kHand = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_HAND);
  static SDL_Cursor* const kArrow = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
  SDL_Cursor* want = hand ? kHand : kArrow;
  if (want && SDL_GetCursor() != want) SDL_SetCursor(want);
}

float ScaleOf(BackendWindow* w) { return w->scale; }

const BackendOps kSdlOps = {
    "sdl",         Init,      CreateWindow, DestroyWindow, ShowWindow, Present,
    RequestAttention, SetTitle, GetPosition,  Raise,         SetModalFor, SetHandCursor,
    ScaleOf,
};

}  // namespace

const BackendOps* ActiveBackend() { return &kSdlOps; }

}  // namespace skin
}  // namespace corvio
