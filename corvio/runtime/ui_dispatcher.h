// Delivers work from any thread to the user-interface thread: a message-only window on
// the thread that made the dispatcher, reached with PostMessageA, so the work runs inside
// that thread's ordinary message loop (the same code on Windows and on our platform).
#pragma once

#include <functional>
#include <memory>

namespace corvio {

class UiDispatcher {
 public:
  // Must be made on the thread whose message loop is to run the work.
  UiDispatcher();
  ~UiDispatcher();  // work still queued is dropped, never run on a dead owner
  UiDispatcher(const UiDispatcher&) = delete;
  UiDispatcher& operator=(const UiDispatcher&) = delete;

  // From any thread; false when the work could not be queued (it is then dropped).
  bool Post(std::function<void()> work);
  // The thread that runs the work.
  unsigned long OwnerThreadId() const;

  struct State;  // shared with work in flight, so a late post never touches freed memory

 private:
  std::shared_ptr<State> state_;
};

}  // namespace corvio
