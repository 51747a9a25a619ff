// The SDL2 window backend: real windows, input, presenting the canvas, and the join with
// the platform message loop (the loop blocks in poll() on SDL's display connection and a
// wake-up descriptor, so an idle window costs no CPU).
#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <dlfcn.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <map>

#include "corvio/skin/backend.h"
#include "platform/linux/message_hook.h"

namespace corvio {
namespace skin {

struct BackendWindow {
  SDL_Window* window = nullptr;
  WindowHost* host = nullptr;
};

namespace {

struct SdlState {
  // At exit: the windows still open and SDL itself are closed, so nothing is left behind.
  ~SdlState() {
    if (!ready) return;
    // The hook stays: the platform's queue may already be gone at this point.
    for (auto& entry : windows) {
      SDL_DestroyWindow(entry.second->window);
      delete entry.second;
    }
    windows.clear();
    SDL_Quit();
    if (wakeFd >= 0) close(wakeFd);
    wakeFd = -1;
  }
  bool ready = false;
  int wakeFd = -1;
  int displayFd = -1;  // the X11 connection, when there is one
  bool drawPending = false;
  std::map<Uint32, BackendWindow*> windows;
  PlatformMessageHook hook{};
};

SdlState& State() {
  static SdlState state;
  return state;
}

BackendWindow* WindowFor(Uint32 id) {
  auto it = State().windows.find(id);
  return it == State().windows.end() ? nullptr : it->second;
}

bool MapKey(const SDL_KeyboardEvent& key, Key* out) {
  switch (key.keysym.sym) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      *out = Key::Enter;
      return true;
    case SDLK_ESCAPE:
      *out = Key::Escape;
      return true;
    case SDLK_TAB:
      *out = (key.keysym.mod & KMOD_SHIFT) ? Key::ShiftTab : Key::Tab;
      return true;
    case SDLK_SPACE:
      *out = Key::Space;
      return true;
    case SDLK_BACKSPACE:
      *out = Key::Backspace;
      return true;
    default:
      return false;
  }
}

void HandleEvent(const SDL_Event& e) {
  switch (e.type) {
    case SDL_MOUSEMOTION:
      if (BackendWindow* w = WindowFor(e.motion.windowID)) w->host->OnMouseMove(e.motion.x, e.motion.y);
      break;
    case SDL_MOUSEBUTTONDOWN:
      if (e.button.button != SDL_BUTTON_LEFT) break;
      if (BackendWindow* w = WindowFor(e.button.windowID)) w->host->OnMouseDown(e.button.x, e.button.y);
      break;
    case SDL_MOUSEBUTTONUP:
      if (e.button.button != SDL_BUTTON_LEFT) break;
      if (BackendWindow* w = WindowFor(e.button.windowID)) w->host->OnMouseUp(e.button.x, e.button.y);
      break;
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

void Pump(void*) {
  SdlState& s = State();
  SDL_Event e;
  while (SDL_PollEvent(&e)) HandleEvent(e);
  s.drawPending = false;
  CoreDrawPending();
}

void Drain(int fd) {
  uint64_t count;
  if (fd >= 0) (void)!read(fd, &count, sizeof count);
}

void Wait(void*, int timeoutMs) {
  SdlState& s = State();
  SDL_PumpEvents();
  if (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) return;
  if (s.drawPending) return;
  int idle = CoreIdle();
  if (idle == 0) return;
  int timeout = timeoutMs;
  if (idle > 0 && (timeout < 0 || idle < timeout)) timeout = idle;
  pollfd fds[2];
  int n = 0;
  fds[n++] = pollfd{s.wakeFd, POLLIN, 0};
  if (s.displayFd >= 0) fds[n++] = pollfd{s.displayFd, POLLIN, 0};
  poll(fds, n, timeout);
  if (fds[0].revents & POLLIN) Drain(s.wakeFd);
}

void Wake(void*) {
  uint64_t one = 1;
  int fd = State().wakeFd;
  if (fd >= 0) (void)!write(fd, &one, sizeof one);
}

// The X11 connection's descriptor, found without linking Xlib (SDL loads it itself).
int DisplayFdOf(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return -1;
  using ConnectionNumberFn = int (*)(void*);
  auto fn = reinterpret_cast<ConnectionNumberFn>(dlsym(RTLD_DEFAULT, "XConnectionNumber"));
  return fn ? fn(info.info.x11.display) : -1;
}

bool Init(std::string* error) {
  SdlState& s = State();
  if (s.ready) return true;
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
  return w->host->IsDragArea(point->x, point->y) ? SDL_HITTEST_DRAGGABLE : SDL_HITTEST_NORMAL;
}

BackendWindow* CreateWindow(WindowHost* host, const WindowParams& params, std::string* error) {
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (params.borderless) flags |= SDL_WINDOW_BORDERLESS;
  int x = params.centered ? SDL_WINDOWPOS_CENTERED : params.x;
  int y = params.centered ? SDL_WINDOWPOS_CENTERED : params.y;
  SDL_Window* window = SDL_CreateWindow(params.titleUtf8.c_str(), x, y, params.width, params.height, flags);
  if (!window) {
    *error = SDL_GetError();
    return nullptr;
  }
  auto* w = new BackendWindow{window, host};
  SDL_SetWindowHitTest(window, HitTest, w);  // unsupported drivers just have no drag area
  State().windows[SDL_GetWindowID(window)] = w;
  if (State().displayFd < 0) State().displayFd = DisplayFdOf(window);
  return w;
}

void DestroyWindow(BackendWindow* w) {
  if (!w) return;
  State().windows.erase(SDL_GetWindowID(w->window));
  SDL_DestroyWindow(w->window);
  delete w;
}

void ShowWindow(BackendWindow* w, bool show) {
  if (show) SDL_ShowWindow(w->window);
  else SDL_HideWindow(w->window);
}

void Present(BackendWindow* w, const Canvas& canvas, const Rect& dirty) {
  SDL_Surface* target = SDL_GetWindowSurface(w->window);
  if (!target) return;
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

void SetTitle(BackendWindow* w, const char* title) { SDL_SetWindowTitle(w->window, title); }

bool GetPosition(BackendWindow* w, int* x, int* y) {
  SDL_GetWindowPosition(w->window, x, y);
  return true;
}

void Raise(BackendWindow* w) {
  // Raising alone leaves a minimised window an icon.
  if (SDL_GetWindowFlags(w->window) & SDL_WINDOW_MINIMIZED) SDL_RestoreWindow(w->window);
  SDL_RaiseWindow(w->window);
}

// No modal operation: the core keeps input away from the owner itself.
const BackendOps kSdlOps = {
    "sdl",         Init,      CreateWindow, DestroyWindow, ShowWindow, Present,
    RequestAttention, SetTitle, GetPosition,  Raise,         nullptr,
};

}  // namespace

const BackendOps* ActiveBackend() { return &kSdlOps; }

}  // namespace skin
}  // namespace corvio
