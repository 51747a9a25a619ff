// The SDL backend's wait on displays of every kind: input from a driver without a
// descriptor is served while idle, and a program whose X server goes away ends by itself.
#include <SDL2/SDL.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/corvio/skin_test_support.h"

using namespace skintest;

namespace {

// The program of the display-loss case: this same binary, started with the variable set,
// shows a window on the display it is given and runs an ordinary message loop.
int RunShownWindowUntilQuit() {
  SkinDialog* dialog = Make<SkinDialog>();
  if (!dialog || !dialog->LoadSkin((Skins() + "/main.xml").c_str(), 0) ||
      !dialog->GetMainWindow() || !dialog->GetMainWindow()->Show(1))
    return 3;
  fputs("shown\n", stdout);
  fflush(stdout);
  MSG msg;
  BOOL got;
  while ((got = GetMessageA(&msg, nullptr, 0, 0)) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  dialog->Release(0);
  return got == 0 ? static_cast<int>(msg.wParam) : 4;
}

// Before the offscreen setting below, so the child keeps the display it was given.
struct ChildRole {
  ChildRole() {
    if (getenv("CORVIO_SDL_SHOW_CHILD")) exit(RunShownWindowUntilQuit());
  }
} childRole;

OffscreenVideo offscreen;

// Reads what fd has until it ends or the deadline passes; false on time-out.
bool ReadUntil(int fd, std::string* out, std::chrono::steady_clock::time_point deadline,
               const char* enough = nullptr) {
  char buffer[512];
  for (;;) {
    if (enough && out->find(enough) != std::string::npos) return true;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return !enough;
    out->append(buffer, static_cast<size_t>(n));
  }
}

// A child process that is killed and reaped whatever the test's outcome.
struct Child {
  pid_t pid = -1;
  ~Child() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
};

}  // namespace

// The offscreen driver has no descriptor, like KMSDRM and others: an event it queues while
// the loop is idle must still arrive.
TEST(SdlBackendWait, event_queued_without_descriptor_is_served_while_idle) {
  SkinDialog* dialog = Make<SkinDialog>();
  ASSERT_NE(dialog, nullptr);
  ASSERT_NE(dialog->LoadSkin((Skins() + "/main.xml").c_str(), 0), 0);
  RecordingSink sink;
  bool closed = false;
  sink.then = [&](const Recorded& r) {
    if (r.message != WindowMessageClose) return;
    closed = true;
    PostQuitMessage(0);
  };
  dialog->SetEventSink(1, &sink);
  ASSERT_NE(dialog->GetMainWindow()->Show(1), 0);
  Uint32 window = 0;
  for (Uint32 id = 1; id < 200 && !window; ++id)
    if (SDL_GetWindowFromID(id)) window = id;
  ASSERT_NE(window, 0u);

  DWORD self = GetCurrentThreadId();
  std::atomic<bool> done{false};
  std::thread driver([&] {
    // Long enough for the loop to be blocked, idle, when the event comes.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = window;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&e);
    for (int i = 0; i < 300 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!done) PostThreadMessageA(self, WM_QUIT, 99, 0);  // the event was never served
  });
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  done = true;
  driver.join();
  EXPECT_TRUE(closed);
  EXPECT_EQ(msg.wParam, 0u);
  dialog->Release(0);
}

// The X server goes away under a shown window: the program ends by itself, says why in one
// line, and does not spin meanwhile.
TEST(SdlBackendDisplayLoss, program_ends_with_one_line_when_the_x_server_goes) {
  if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "no Xvfb (package xvfb) on this machine";
  int displayPipe[2];
  ASSERT_EQ(pipe(displayPipe), 0);
  Child server;
  server.pid = fork();
  ASSERT_GE(server.pid, 0);
  if (server.pid == 0) {
    close(displayPipe[0]);
    int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    char fdText[16];
    snprintf(fdText, sizeof fdText, "%d", displayPipe[1]);
    execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fdText, "-nolisten", "tcp", "-screen", "0",
          "800x600x24", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(displayPipe[1]);
  std::string display;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(ReadUntil(displayPipe[0], &display, start + std::chrono::seconds(20), "\n"))
      << "Xvfb gave no display number";
  close(displayPipe[0]);
  display = ":" + display.substr(0, display.find('\n'));

  int out[2], err[2];
  ASSERT_EQ(pipe(out), 0);
  ASSERT_EQ(pipe(err), 0);
  Child program;
  program.pid = fork();
  ASSERT_GE(program.pid, 0);
  if (program.pid == 0) {
    dup2(out[1], 1);
    dup2(err[1], 2);
    close(out[0]);
    close(err[0]);
    setenv("CORVIO_SDL_SHOW_CHILD", "1", 1);
    setenv("DISPLAY", display.c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    execl("/proc/self/exe", "sdl_backend_child", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  std::string shown;
  ASSERT_TRUE(ReadUntil(out[0], &shown, std::chrono::steady_clock::now() + std::chrono::seconds(20), "shown"))
      << "the program showed no window on " << display << ": " << shown;
  // Let it settle into its idle wait before the server goes.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  kill(server.pid, SIGKILL);
  waitpid(server.pid, nullptr, 0);
  server.pid = -1;
  const auto lost = std::chrono::steady_clock::now();

  std::string errors;
  ReadUntil(err[0], &errors, lost + std::chrono::seconds(10));  // ends when the program does
  int status = 0;
  rusage usage{};
  pid_t ended = 0;
  while ((ended = wait4(program.pid, &status, WNOHANG, &usage)) == 0 &&
         std::chrono::steady_clock::now() < lost + std::chrono::seconds(10))
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - lost).count();
  close(out[0]);
  close(err[0]);
  ASSERT_EQ(ended, program.pid) << "still running " << seconds << " s after the display went; stderr: " << errors;
  program.pid = -1;
  EXPECT_TRUE(WIFEXITED(status)) << "status " << status;
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(errors, "display connection lost\n");
  EXPECT_LT(seconds, 5.0);
  const double cpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                     (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  EXPECT_LT(cpu, 1.0) << "cpu " << cpu << " s over the program's whole life";
}
