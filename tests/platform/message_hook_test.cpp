// The message-loop hook of window backends, and that an idle loop sleeps: a fake backend
// feeds "window events" while other threads post, and one GetMessageA loop serves both.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/linux/message_hook.h"
#include "platform/win32.h"

namespace {

constexpr UINT kWindowEvent = WM_APP + 20;
constexpr UINT kPosted = WM_APP + 21;

// A backend with its own event queue; wake() is remembered until the next wait().
struct FakeBackend {
  std::mutex mutex;
  std::condition_variable signal;
  std::deque<int> events;
  bool woken = false;
  HWND window = nullptr;
  std::atomic<int> waits{0};
  std::atomic<int> wakes{0};
  DWORD pumpThread = 0;

  void Push(int event) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      events.push_back(event);
    }
    signal.notify_one();
  }
  static void Pump(void* context) {
    auto* self = static_cast<FakeBackend*>(context);
    self->pumpThread = GetCurrentThreadId();
    for (;;) {
      int event;
      {
        std::lock_guard<std::mutex> lock(self->mutex);
        if (self->events.empty()) return;
        event = self->events.front();
        self->events.pop_front();
      }
      SendMessageA(self->window, kWindowEvent, static_cast<WPARAM>(event), 0);
    }
  }
  static void Wait(void* context, int timeoutMs) {
    auto* self = static_cast<FakeBackend*>(context);
    ++self->waits;
    std::unique_lock<std::mutex> lock(self->mutex);
    self->signal.wait(lock, [&] { return self->woken || !self->events.empty(); });
    self->woken = false;
  }
  static void Wake(void* context) {
    auto* self = static_cast<FakeBackend*>(context);
    ++self->wakes;
    {
      std::lock_guard<std::mutex> lock(self->mutex);
      self->woken = true;
    }
    self->signal.notify_one();
  }
};

struct Seen {
  std::vector<int> events;
  std::vector<int> posts;
  DWORD thread = 0;
  bool wrongThread = false;
};
Seen* g_seen = nullptr;

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_seen && (message == kWindowEvent || message == kPosted)) {
    if (GetCurrentThreadId() != g_seen->thread) g_seen->wrongThread = true;
    (message == kWindowEvent ? g_seen->events : g_seen->posts).push_back(static_cast<int>(wParam));
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWindow() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = Proc;
  windowClass.lpszClassName = "ZentHookTestWindow";
  RegisterClassA(&windowClass);
  return CreateWindowExA(0, "ZentHookTestWindow", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                         nullptr);
}

TEST(PlatformMessageHook, window_events_and_posts_are_served_by_one_loop) {
  Seen seen;
  seen.thread = GetCurrentThreadId();
  g_seen = &seen;
  FakeBackend backend;
  backend.window = MakeWindow();
  ASSERT_NE(backend.window, nullptr);
  PlatformMessageHook hook{&backend, FakeBackend::Pump, FakeBackend::Wait, FakeBackend::Wake};
  PlatformSetMessageHook(&hook);

  constexpr int kCount = 200;
  HWND window = backend.window;
  std::thread events([&] {
    for (int i = 0; i < kCount; ++i) {
      backend.Push(i);
      if (i % 20 == 0) Sleep(1);
    }
  });
  std::thread posts([=] {
    for (int i = 0; i < kCount; ++i) {
      PostMessageA(window, kPosted, static_cast<WPARAM>(i), 0);
      if (i % 20 == 0) Sleep(1);
    }
  });
  MSG msg;
  // Each arrival may end a wait; a loop that spun would wait far more often. Only a
  // posted message makes GetMessageA return, so the loop runs until the last post...
  while (seen.posts.size() < kCount && GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  events.join();
  posts.join();
  // ...and events pushed after it are served by the next look at the queue.
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  PlatformSetMessageHook(nullptr);

  ASSERT_EQ(seen.events.size(), static_cast<size_t>(kCount));
  ASSERT_EQ(seen.posts.size(), static_cast<size_t>(kCount));
  for (int i = 0; i < kCount; ++i) {
    EXPECT_EQ(seen.events[i], i) << "event " << i;
    EXPECT_EQ(seen.posts[i], i) << "post " << i;
  }
  EXPECT_FALSE(seen.wrongThread);
  EXPECT_EQ(backend.pumpThread, GetCurrentThreadId());
  EXPECT_GE(backend.wakes.load(), 1);
  EXPECT_LE(backend.waits.load(), 2 * kCount + 2);
  DestroyWindow(backend.window);
  g_seen = nullptr;
}

TEST(PlatformMessageHook, removed_hook_is_no_longer_woken) {
  FakeBackend backend;
  PlatformMessageHook hook{&backend, FakeBackend::Pump, FakeBackend::Wait, FakeBackend::Wake};
  PlatformSetMessageHook(&hook);
  PlatformSetMessageHook(nullptr);
  PostMessageA(nullptr, WM_APP, 0, 0);
  MSG msg;
  EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(backend.wakes.load(), 0);
}

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST(PlatformMessageLoop, idle_wait_uses_no_cpu) {
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
  const DWORD mainThread = GetCurrentThreadId();
  double before = ProcessCpuSeconds();
  std::thread poster([=] {
    Sleep(1000);
    PostThreadMessageA(mainThread, WM_APP, 0, 0);
  });
  ASSERT_GT(GetMessageA(&msg, nullptr, 0, 0), 0);
  poster.join();
  double used = ProcessCpuSeconds() - before;
  EXPECT_LT(used, 0.2) << "a one-second idle wait used " << used << " s of CPU";
}

TEST(PlatformMessageLoop, idle_wait_with_a_hook_uses_no_cpu) {
  FakeBackend backend;
  PlatformMessageHook hook{&backend, FakeBackend::Pump, FakeBackend::Wait, FakeBackend::Wake};
  PlatformSetMessageHook(&hook);
  const DWORD mainThread = GetCurrentThreadId();
  double before = ProcessCpuSeconds();
  std::thread poster([=] {
    Sleep(1000);
    PostThreadMessageA(mainThread, WM_APP, 0, 0);
  });
  MSG msg;
  ASSERT_GT(GetMessageA(&msg, nullptr, 0, 0), 0);
  poster.join();
  PlatformSetMessageHook(nullptr);
  double used = ProcessCpuSeconds() - before;
  EXPECT_LT(used, 0.2) << "a one-second idle wait used " << used << " s of CPU";
  EXPECT_LE(backend.waits.load(), 3);
}

}  // namespace
