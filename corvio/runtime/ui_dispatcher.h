// Delivers work from any thread to the user-interface thread: a message-only window on
// the thread that made the dispatcher, reached with PostMessageA, so the work runs inside
// that thread's ordinary message loop (the same code on Windows and on our platform). The
// framework's one way onto that thread: the downloader, the dialogs and the automation all
// post through it.
#pragma once

#include <functional>
#include <memory>

#include "platform/win32.h"

namespace corvio {

// A hidden window of the framework's own class `className`, registered once per process
// however many threads ask; its GWLP_USERDATA holds `owner`. Null when it cannot be made.
HWND CreateHiddenWindow(const char* className, WNDPROC procedure, void* owner, const char* title,
                        int width, int height, HWND parent);

class UiDispatcher {
 public:
  // Must be made on the thread whose message loop is to run the work.
  UiDispatcher();
  ~UiDispatcher();  // work still queued is dropped, never run on a dead owner
  UiDispatcher(const UiDispatcher&) = delete;
  UiDispatcher& operator=(const UiDispatcher&) = delete;

  // From any thread; false when the work could not be queued (it is then dropped).
  bool Post(std::function<void()> work);
  // Posts like Post, and stays safe to call after the dispatcher is gone (it then refuses):
  // for workers that may outlive their owner.
  using PostFn = std::function<bool(std::function<void()>)>;
  PostFn Poster() const;
  // The thread that runs the work.
  unsigned long OwnerThreadId() const;

  struct State;  // shared with work in flight, so a late post never touches freed memory

 private:
  std::shared_ptr<State> state_;
};

}  // namespace corvio
