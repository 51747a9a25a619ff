// CancelToken: the flag and its waker, called under one lock so a fetch can clear the
// waker safely before tearing down.
#include "corvio/download/cancel_token.h"

#include <utility>

namespace corvio {

void CancelToken::Cancel() {
  cancelled_.store(true);
  std::lock_guard<std::mutex> lock(mutex_);
  if (waker_) waker_();
}

void CancelToken::SetWaker(std::function<void()> waker) {
  std::lock_guard<std::mutex> lock(mutex_);
  waker_ = std::move(waker);
}

}  // namespace corvio
