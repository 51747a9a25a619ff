// The one small table of operations between the portable skin core and a window
// backend, and the calls a backend makes back into the core. No backend type appears
// here; optional operations may be null and the core then does without.
#pragma once

#include <string>

#include "corvio/skin/canvas.h"

namespace corvio {
namespace skin {

enum class Key {
  Enter, Escape, Tab, ShiftTab, Space, Backspace, PageUp, PageDown, Home, End, F5,
  Up, Down, Left, Right,
};

// What the core offers each window: input in window coordinates, in the skin's units (a
// backend divides its device pixels by the window's scale). A backend calls these
// from its event pump; the core only updates state there and posts what reaches the
// program, so no program code runs inside the pump.
class WindowHost {
 public:
  virtual void OnMouseMove(int x, int y) = 0;
  virtual void OnMouseDown(int x, int y) = 0;
  virtual void OnMouseUp(int x, int y) = 0;
  virtual void OnMouseLeave() = 0;
  // notches > 0 scroll towards the end of what is under the pointer.
  virtual void OnMouseWheel(int x, int y, int notches) = 0;
  virtual void OnKey(Key key) = 0;
  virtual void OnTextInput(const char* utf8) = 0;
  virtual void OnCloseRequest() = 0;
  virtual void OnExposed() = 0;              // the whole window must be drawn again
  virtual bool IsDragArea(int x, int y) = 0;  // true: a press there moves the window
  // The window went to a display of another scale: the next present must be at it.
  virtual void OnScaleChanged(float scale) = 0;

 protected:
  ~WindowHost() = default;
};

struct BackendWindow;

struct WindowParams {
  std::string titleUtf8;
  int x = 0, y = 0;           // on the screen, in its pixels
  int width = 0, height = 0;  // in units: the window has them times its scale in pixels
  bool centered = true;  // ignore x, y
  bool borderless = true;
};

struct BackendOps {
  const char* name;
  // Prepares the backend on the calling (user-interface) thread; false with a reason.
  bool (*init)(std::string* error);
  BackendWindow* (*create_window)(WindowHost* host, const WindowParams& params, std::string* error);
  void (*destroy_window)(BackendWindow* window);
  void (*show_window)(BackendWindow* window, bool show);
  // Shows the rectangle dirty (in device pixels) of the canvas, which has the window's size.
  void (*present)(BackendWindow* window, const Canvas& canvas, const Rect& dirty);
  // Makes the loop come round so that pending drawing and automation happen.
  void (*request_attention)();
  // Optional.
  void (*set_title)(BackendWindow* window, const char* titleUtf8);
  bool (*get_position)(BackendWindow* window, int* x, int* y);
  void (*raise)(BackendWindow* window);
  // window becomes a modal box over owner: the owner takes no input until this is called
  // again with a null owner, which gives the owner its input and the focus back.
  void (*set_modal_for)(BackendWindow* window, BackendWindow* owner);
  // The pointer's look over the window: the hand over a link, else the arrow.
  void (*set_hand_cursor)(BackendWindow* window, bool hand);
  // Device pixels per unit of the window.
  float (*scale_of)(BackendWindow* window);
};

// The backend of this build (SDL2 on Linux, win32 on Windows).
const BackendOps* ActiveBackend();

// Called by the backend's pump after it handled its events: draws what changed.
void CoreDrawPending();
// Called by the backend when the loop is about to block: returns the longest time in
// milliseconds it may block (-1: no limit, 0: come round at once).
int CoreIdle();

}  // namespace skin
}  // namespace corvio
