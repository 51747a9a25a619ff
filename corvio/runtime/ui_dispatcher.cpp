// UiDispatcher: a message-only window owned by the UI thread; workers queue work and post
// one message per item, and the window procedure runs the work inside the message loop.
#include "corvio/runtime/ui_dispatcher.h"

#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "corvio/report.h"

namespace corvio {

namespace {

constexpr UINT kRunWorkMessage = WM_APP + 0x2C1;
const char kWindowClass[] = "CorvioUiDispatcher";

}  // namespace

struct UiDispatcher::State {
  std::mutex mutex;
  std::deque<std::function<void()>> queue;
  HWND window = nullptr;
  DWORD ownerThread = 0;
  bool open = false;  // false once the owner is gone: posts are refused

  // Takes the oldest queued work item, or an empty function when there is none.
  std::function<void()> TakeOne() {
    std::lock_guard<std::mutex> lock(mutex);
    if (!open || queue.empty()) return {};
    std::function<void()> work = std::move(queue.front());
    queue.pop_front();
    return work;
  }
};

namespace {

LRESULT CALLBACK DispatcherWindowProc(HWND window, UINT message, WPARAM wParam,
                                      LPARAM lParam) {
  if (message != kRunWorkMessage) return DefWindowProcA(window, message, wParam, lParam);
  auto* state = reinterpret_cast<UiDispatcher::State*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!state) return 0;
  std::function<void()> work = state->TakeOne();
  if (!work) return 0;
  // Work must not unwind through the message loop of the program that runs it.
  Guarded([&] { work(); });
  return 0;
}

bool PostTo(const std::shared_ptr<UiDispatcher::State>& state, std::function<void()> work) {
  if (!work) return false;
  std::lock_guard<std::mutex> lock(state->mutex);
  if (!state->open) return false;
  if (!Guarded([&] { state->queue.push_back(std::move(work)); })) return false;
  // Posting under the lock keeps the queue and the messages in step with the destructor.
  if (!PostMessageA(state->window, kRunWorkMessage, 0, 0)) {
    state->queue.pop_back();
    return false;
  }
  return true;
}

}  // namespace

HWND CreateHiddenWindow(const char* className, WNDPROC procedure, void* owner, const char* title,
                        int width, int height, HWND parent) {
  static std::mutex mutex;
  static std::set<std::string> registered;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (!registered.count(className)) {
      WNDCLASSA windowClass = {};
      windowClass.lpfnWndProc = procedure;
      windowClass.hInstance = GetModuleHandleA(nullptr);
      windowClass.lpszClassName = className;
      if (!RegisterClassA(&windowClass)) return nullptr;
      registered.insert(className);
    }
  }
  HWND window = CreateWindowExA(0, className, title, 0, 0, 0, width, height, parent, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  if (window) SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
  return window;
}

UiDispatcher::UiDispatcher() : state_(std::make_shared<State>()) {
  state_->ownerThread = GetCurrentThreadId();
  HWND window = CreateHiddenWindow(kWindowClass, DispatcherWindowProc, state_.get(), "", 0, 0,
                                   HWND_MESSAGE);
  if (!window) return;
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->window = window;
  state_->open = true;
}

UiDispatcher::~UiDispatcher() {
  std::deque<std::function<void()>> dropped;
  HWND window = nullptr;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->open = false;
    dropped.swap(state_->queue);
    window = state_->window;
    state_->window = nullptr;
  }
  if (window) {
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
  }
  // The dropped work is destroyed here, outside the lock, since it may own resources.
}

bool UiDispatcher::Post(std::function<void()> work) { return PostTo(state_, std::move(work)); }

UiDispatcher::PostFn UiDispatcher::Poster() const {
  std::shared_ptr<State> state = state_;
  return [state](std::function<void()> work) { return PostTo(state, std::move(work)); };
}

unsigned long UiDispatcher::OwnerThreadId() const { return state_->ownerThread; }

}  // namespace corvio
