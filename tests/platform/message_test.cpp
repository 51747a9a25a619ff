// The message loop and windows: per-thread queues, posting from other threads, the quit
// message, window creation and destruction, dispatch and sent messages.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/win32.h"

namespace {

struct Record {
  std::vector<UINT> messages;
  std::vector<HWND> windows;
  LPVOID createParams = nullptr;
  DWORD handlerThread = 0;
  int destroyed = 0;
};

Record* g_record = nullptr;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_record) {
    g_record->messages.push_back(message);
    g_record->windows.push_back(window);
    g_record->handlerThread = GetCurrentThreadId();
    if (message == WM_CREATE)
      g_record->createParams = reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams;
    if (message == WM_DESTROY) ++g_record->destroyed;
  }
  if (message == WM_APP + 7) return static_cast<LRESULT>(wParam * 2 + 1);
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK RefuseCreate(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) return -1;
  return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterOnce(const char* name, WNDPROC proc) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = proc;
  windowClass.lpszClassName = name;
  windowClass.hInstance = nullptr;
  RegisterClassA(&windowClass);  // a second registration fails; the class is there either way
}

HWND MakeMessageWindow(LPVOID parameter = nullptr) {
  RegisterOnce("ZentTestWindow", RecordingProc);
  return CreateWindowExA(0, "ZentTestWindow", "test", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                         nullptr, parameter);
}

// Window tests: the test windows' procedure records into `record` while the test runs.
class PlatformWindow : public ::testing::Test {
 protected:
  void SetUp() override { g_record = &record; }
  void TearDown() override { g_record = nullptr; }
  Record record;
};

void EnsureQueue() {
  MSG msg;
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
}

TEST(PlatformMessageLoop, posts_from_eight_threads_arrive_in_order_none_lost) {
  EnsureQueue();
  const DWORD mainThread = GetCurrentThreadId();
  constexpr int kThreads = 8;
  constexpr int kPerThread = 1000;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([=] {
      for (int i = 0; i < kPerThread; ++i) {
        while (!PostThreadMessageA(mainThread, WM_APP, static_cast<WPARAM>(t), i)) Sleep(1);
      }
    });
  }
  std::vector<int> next(kThreads, 0);
  int received = 0;
  MSG msg;
  while (received < kThreads * kPerThread && GetMessageA(&msg, nullptr, 0, 0) > 0) {
    ASSERT_EQ(msg.message, WM_APP);
    ASSERT_LT(msg.wParam, static_cast<WPARAM>(kThreads));
    ASSERT_EQ(msg.lParam, next[msg.wParam]) << "poster " << msg.wParam << " out of order";
    ++next[msg.wParam];
    ++received;
  }
  for (auto& p : posters) p.join();
  EXPECT_EQ(received, kThreads * kPerThread);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "more messages than posted";
}

TEST(PlatformMessageLoop, quit_ends_the_loop_with_its_code_after_earlier_posts) {
  EnsureQueue();
  PostMessageA(nullptr, WM_APP, 1, 0);
  PostMessageA(nullptr, WM_APP, 2, 0);
  PostQuitMessage(7);
  MSG msg;
  std::vector<WPARAM> seen;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) seen.push_back(msg.wParam);
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_EQ(seen, (std::vector<WPARAM>{1, 2}));
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "quit is taken once";
}

TEST(PlatformMessageLoop, quit_posted_from_another_thread_wakes_a_blocked_loop) {
  EnsureQueue();
  const DWORD mainThread = GetCurrentThreadId();
  std::thread poster([=] {
    Sleep(50);
    PostThreadMessageA(mainThread, WM_QUIT, 3, 0);
  });
  MSG msg;
  BOOL result = GetMessageA(&msg, nullptr, 0, 0);
  poster.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(msg.wParam, 3u);
}

TEST(PlatformMessageLoop, peek_without_remove_leaves_the_message_and_filters_apply) {
  EnsureQueue();
  PostMessageA(nullptr, WM_APP + 1, 0, 0);
  PostMessageA(nullptr, WM_USER, 0, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_USER);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_USER);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_APP + 1);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(PlatformMessageLoop, thread_without_queue_refuses_thread_messages) {
  std::atomic<DWORD> id{0};
  std::atomic<bool> release{false};
  std::thread idle([&] {
    id = GetCurrentThreadId();
    while (!release) Sleep(1);
  });
  while (id == 0) Sleep(1);
  SetLastError(0);
  EXPECT_FALSE(PostThreadMessageA(id, WM_APP, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);
  release = true;
  idle.join();
}

TEST(PlatformMessageLoop, accelerators_never_consume_and_thread_messages_dispatch_to_nothing) {
  MSG msg{};
  msg.message = WM_APP;
  EXPECT_EQ(TranslateAcceleratorA(nullptr, nullptr, &msg), 0);
  EXPECT_EQ(DispatchMessageA(&msg), 0);
}

TEST_F(PlatformWindow, creation_delivers_create_params_and_handle_fits_32_bits) {
  int marker = 0;
  HWND window = MakeMessageWindow(&marker);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(window) >> 32, 0u);
  EXPECT_TRUE(IsWindow(window));
  ASSERT_FALSE(record.messages.empty());
  bool sawCreate = false;
  for (UINT m : record.messages) sawCreate |= (m == WM_CREATE);
  EXPECT_TRUE(sawCreate);
  EXPECT_EQ(record.createParams, &marker);
  DWORD process = 0;
  EXPECT_EQ(GetWindowThreadProcessId(window, &process), GetCurrentThreadId());
  EXPECT_EQ(process, GetCurrentProcessId());
  EXPECT_TRUE(DestroyWindow(window));
}

TEST_F(PlatformWindow, destroy_sends_destroy_once_and_invalidates_the_handle) {
  HWND window = MakeMessageWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(DestroyWindow(window));
  EXPECT_EQ(record.destroyed, 1);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(DestroyWindow(window));
  EXPECT_FALSE(PostMessageA(window, WM_APP, 0, 0));
  EXPECT_EQ(GetWindowThreadProcessId(window, nullptr), 0u);
}

TEST_F(PlatformWindow, close_through_the_default_procedure_destroys) {
  HWND window = MakeMessageWindow();
  ASSERT_NE(window, nullptr);
  SendMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(record.destroyed, 1);
}

TEST_F(PlatformWindow, create_refused_by_the_procedure_gives_null) {
  RegisterOnce("ZentRefusingWindow", RefuseCreate);
  HWND window = CreateWindowExA(0, "ZentRefusingWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                nullptr, nullptr, nullptr);
  EXPECT_EQ(window, nullptr);
}

TEST_F(PlatformWindow, unknown_class_gives_null) {
  EXPECT_EQ(CreateWindowExA(0, "ZentNoSuchClass", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            nullptr, nullptr),
            nullptr);
}

TEST_F(PlatformWindow, user_data_round_trips_and_returns_the_previous_value) {
  HWND window = MakeMessageWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), 0);
  EXPECT_EQ(SetWindowLongPtrA(window, GWLP_USERDATA, 1234), 0);
  EXPECT_EQ(SetWindowLongPtrA(window, GWLP_USERDATA, 99), 1234);
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), 99);
  DestroyWindow(window);
}

TEST_F(PlatformWindow, posts_from_another_thread_are_dispatched_to_the_window_on_its_thread) {
  HWND window = MakeMessageWindow();
  ASSERT_NE(window, nullptr);
  record.messages.clear();
  record.windows.clear();
  std::thread poster([=] {
    PostMessageA(window, WM_APP + 3, 11, 22);
    PostMessageA(window, WM_APP + 4, 0, 0);
  });
  poster.join();
  MSG msg;
  for (int i = 0; i < 2; ++i) {
    ASSERT_GT(GetMessageA(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.hwnd, window);
    DispatchMessageA(&msg);
  }
  ASSERT_EQ(record.messages.size(), 2u);
  EXPECT_EQ(record.messages[0], WM_APP + 3);
  EXPECT_EQ(record.messages[1], WM_APP + 4);
  EXPECT_EQ(record.windows[0], window);
  EXPECT_EQ(record.handlerThread, GetCurrentThreadId());
  DestroyWindow(window);
}

TEST_F(PlatformWindow, send_from_the_same_thread_calls_directly_and_from_another_waits_for_the_loop) {
  HWND window = MakeMessageWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(SendMessageA(window, WM_APP + 7, 4, 0), 9);
  std::atomic<LRESULT> result{0};
  std::thread sender([&] {
    result = SendMessageA(window, WM_APP + 7, 10, 0);
    PostMessageA(window, WM_APP + 8, 0, 0);
  });
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0 && msg.message != WM_APP + 8) DispatchMessageA(&msg);
  sender.join();
  EXPECT_EQ(result.load(), 21);
  DestroyWindow(window);
}

TEST_F(PlatformWindow, filter_by_window_skips_other_messages) {
  HWND first = MakeMessageWindow();
  HWND second = MakeMessageWindow();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  PostMessageA(first, WM_APP, 1, 0);
  PostMessageA(second, WM_APP, 2, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, second, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 2u);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 1u);
  DestroyWindow(first);
  DestroyWindow(second);
}

}  // namespace
