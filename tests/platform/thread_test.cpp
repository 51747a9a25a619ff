// Threads and time: CreateThread handles, exit codes, waits, the failure hook, Sleep and
// the tick counter.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/win32.h"
#include "tests/platform/platform_test_hooks.h"

namespace {

DWORD WINAPI ReturnParameter(LPVOID parameter) {
  return static_cast<DWORD>(reinterpret_cast<uintptr_t>(parameter));
}

DWORD WINAPI ReportOwnId(LPVOID parameter) {
  static_cast<std::atomic<DWORD>*>(parameter)->store(GetCurrentThreadId());
  return 0;
}

DWORD WINAPI WaitForRelease(LPVOID parameter) {
  auto* release = static_cast<std::atomic<bool>*>(parameter);
  while (!release->load()) Sleep(1);
  return 5;
}

DWORD WINAPI SetFlagLater(LPVOID parameter) {
  Sleep(50);
  static_cast<std::atomic<int>*>(parameter)->store(1);
  return 0;
}

TEST(PlatformThread, exit_code_of_finished_thread_is_the_routine_result) {
  HANDLE thread = CreateThread(nullptr, 0, ReturnParameter, reinterpret_cast<LPVOID>(42), 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_TRUE(CloseHandle(thread));
}

TEST(PlatformThread, running_thread_reports_still_active_and_wait_times_out) {
  std::atomic<bool> release{false};
  HANDLE thread = CreateThread(nullptr, 0, WaitForRelease, &release, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 259u);  // STILL_ACTIVE
  EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);
  release = true;
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 5u);
  CloseHandle(thread);
}

TEST(PlatformThread, returned_id_is_the_id_the_thread_sees) {
  std::atomic<DWORD> seen{0};
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, ReportOwnId, &seen, 0, &id);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  EXPECT_NE(id, 0u);
  EXPECT_EQ(seen.load(), id);
  EXPECT_NE(id, GetCurrentThreadId());
  CloseHandle(thread);
}

TEST(PlatformThread, closing_the_handle_leaves_the_thread_running) {
  std::atomic<int> flag{0};
  HANDLE thread = CreateThread(nullptr, 0, SetFlagLater, &flag, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_TRUE(CloseHandle(thread));
  for (int i = 0; i < 1000 && flag.load() == 0; ++i) Sleep(5);
  EXPECT_EQ(flag.load(), 1);
}

TEST(PlatformThread, second_close_and_unknown_handles_fail_with_invalid_handle) {
  HANDLE thread = CreateThread(nullptr, 0, ReturnParameter, nullptr, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  EXPECT_TRUE(CloseHandle(thread));
  SetLastError(0);
  EXPECT_FALSE(CloseHandle(thread));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_FAILED);
  DWORD code = 0;
  EXPECT_FALSE(GetExitCodeThread(reinterpret_cast<HANDLE>(12345), &code));
}

TEST(PlatformThread, thread_the_system_cannot_make_fails_with_not_enough_memory) {
  PlatformFailThreadCreation(2);
  std::thread([] {}).join();  // only the platform layer's threads count
  SetLastError(0);
  EXPECT_EQ(CreateThread(nullptr, 0, ReturnParameter, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(CreateThread(nullptr, 0, ReturnParameter, nullptr, 0, nullptr), nullptr);
  HANDLE thread = CreateThread(nullptr, 0, ReturnParameter, nullptr, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

TEST(PlatformThread, suspended_creation_and_null_routine_are_refused) {
  EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(CreateThread(nullptr, 0, ReturnParameter, nullptr, CREATE_SUSPENDED, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(PlatformThread, small_stack_request_still_runs) {
  HANDLE thread = CreateThread(nullptr, 1, ReturnParameter, reinterpret_cast<LPVOID>(3), 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 3u);
  CloseHandle(thread);
}

TEST(PlatformTime, sleep_waits_and_tick_count_follows_the_clock) {
  DWORD before = GetTickCount();
  auto start = std::chrono::steady_clock::now();
  Sleep(60);
  auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now() - start).count();
  DWORD ticks = GetTickCount() - before;
  EXPECT_GE(elapsed, 59);
  EXPECT_GE(ticks, 59u);
  EXPECT_LT(ticks, 5000u);
}

TEST(PlatformTime, process_and_thread_ids_are_the_system_ones) {
  EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(getpid()));
  EXPECT_EQ(GetCurrentThreadId(), static_cast<DWORD>(gettid()));
  EXPECT_EQ(GetCurrentThreadId(), GetCurrentThreadId());
}

}  // namespace
