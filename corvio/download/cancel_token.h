// A cancellation flag shared by a download's owner and its worker, with a hook that
// lets a blocked network wait be woken at once.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>

namespace corvio {

class CancelToken {
 public:
  void Cancel();  // from any thread; wakes the waiting fetch, if any
  bool Cancelled() const { return cancelled_.load(); }
  // Set by a fetch while it waits and cleared (empty) before it frees what the waker uses.
  void SetWaker(std::function<void()> waker);

 private:
  std::atomic<bool> cancelled_{false};
  std::mutex mutex_;
  std::function<void()> waker_;
};

}  // namespace corvio
