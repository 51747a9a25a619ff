// An open window with nothing happening costs (next to) no CPU: the loop blocks.
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "tests/corvio/skin_test_support.h"

using namespace skintest;

namespace {

OffscreenVideo offscreen;

double CpuSeconds() {
#ifdef _WIN32
  FILETIME created, ended, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) return 0;
  auto seconds = [](const FILETIME& t) {
    return ((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
#else
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
#endif
}

}  // namespace

TEST(SkinIdle, open_window_uses_nearly_no_cpu_over_one_second) {
  SkinDialog* dialog = Make<SkinDialog>();
  ASSERT_NE(dialog->LoadSkin((Skins() + "/main.xml").c_str(), 0), 0);
  ASSERT_NE(dialog->GetMainWindow()->Show(1), 0);
  DWORD self = GetCurrentThreadId();
  // Let the first drawing happen, then measure one quiet second.
  RunLoopUntil([] { return false; }, 200);
  double before = CpuSeconds();
  auto start = std::chrono::steady_clock::now();
  std::thread quitter([self] {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    PostThreadMessageA(self, WM_QUIT, 0, 0);
  });
  MSG msg;
  int dispatched = 0;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    DispatchMessageA(&msg);
    ++dispatched;
  }
  quitter.join();
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  double cpu = CpuSeconds() - before;
  EXPECT_GE(wall, 0.9);
  EXPECT_LT(cpu, 0.05 * wall) << "cpu " << cpu << " s over " << wall << " s";
  EXPECT_LT(dispatched, 5) << "nothing should come round while idle";
  dialog->Release(0);
}
