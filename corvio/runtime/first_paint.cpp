// The gate behind AfterFirstPaint and WaitForFirstPaint.
#include "corvio/runtime/first_paint.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "corvio/download/cancel_token.h"
#include "corvio/report.h"

namespace corvio {

namespace {

constexpr auto kLongestHold = std::chrono::seconds(2);

struct Gate {
  std::mutex mutex;
  std::condition_variable opened;
  bool held = false;
  bool everHeld = false;
  std::vector<std::function<void()>> waiting;
};

Gate& TheGate() {
  static Gate gate;
  return gate;
}

}  // namespace

void HoldUntilFirstPaint() {
  Gate& g = TheGate();
  std::lock_guard<std::mutex> lock(g.mutex);
  if (g.everHeld) return;  // only the process's first paint is waited for
  g.everHeld = true;
  g.held = true;
}

void FirstPaintDone() {
  Gate& g = TheGate();
  std::vector<std::function<void()>> work;
  {
    std::lock_guard<std::mutex> lock(g.mutex);
    if (!g.held) return;
    g.held = false;
    work.swap(g.waiting);
  }
  g.opened.notify_all();
  for (auto& w : work) Guarded(w);
}

void AfterFirstPaint(std::function<void()> work) {
  Gate& g = TheGate();
  {
    std::lock_guard<std::mutex> lock(g.mutex);
    if (g.held) {
      g.waiting.push_back(std::move(work));
      return;
    }
  }
  work();
}

void WaitForFirstPaint(CancelToken* cancel) {
  Gate& g = TheGate();
  if (cancel) {
    cancel->SetWaker([&g] {
      std::lock_guard<std::mutex> lock(g.mutex);
      g.opened.notify_all();
    });
  }
  {
    std::unique_lock<std::mutex> lock(g.mutex);
    g.opened.wait_for(lock, kLongestHold, [&] { return !g.held || (cancel && cancel->Cancelled()); });
  }
  if (cancel) cancel->SetWaker(nullptr);
}

}  // namespace corvio
