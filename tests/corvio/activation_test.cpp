// A second start brings the first instance's window to the front, across real processes;
// on Linux also through the socket beside the lock file, past stale files, idle peers and
// links planted in the socket's place.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "components/interfaces.h"
#include "tests/corvio/guard_factory.h"
#include "corvio/guard/activation_message.h"
#include "platform/win32.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "corvio/guard/linux/activation_channel.h"
#include "corvio/guard/linux/lock_dir.h"
#endif


namespace {


using Clock = std::chrono::steady_clock;

std::vector<HWND> g_broughtToFront;  // every kMsgBringToFront the test windows got

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == corvio::kMsgBringToFront) g_broughtToFront.push_back(window);
  return DefWindowProcA(window, message, wParam, lParam);
}

// A message-only window stands for the launcher's: it receives posted messages like any
// window, and needs no display (under Wine a shown window would).
HWND NewTestWindow() {
  static const bool registered = [] {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.lpszClassName = "CorvioActivationTest";
    return RegisterClassA(&windowClass) != 0;
  }();
  if (!registered) return nullptr;
  return CreateWindowExA(0, "CorvioActivationTest", "", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                         nullptr, nullptr);
}

uint32_t HandleOf(HWND window) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
}

// Dispatches this thread's messages until `count` have been recorded or 10 s are up.
bool PumpUntil(size_t count) {
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  MSG msg;
  while (g_broughtToFront.size() < count && Clock::now() < deadline) {
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    else std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return g_broughtToFront.size() >= count;
}

// Takes whatever is still queued; once the holder is closed nothing more can come.
void Drain() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

// Runs the guard helper for `name` to its end (it gives the name up at once) and gives
// its exit code: 1 when it was a second start, -1 when it could not be run.
#ifdef _WIN32
int RunHelper(const std::string& name) {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string self(path, n < sizeof path ? n : 0);
  std::string command =
      "\"" + self.substr(0, self.find_last_of("\\/") + 1) + "corvio_guard_helper.exe\" " + name;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE null = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = null;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info = {};
  const BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &info);
  CloseHandle(null);
  if (!started) return -1;
  CloseHandle(info.hThread);
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(info.hProcess, 30000) == WAIT_OBJECT_0)
    GetExitCodeProcess(info.hProcess, &code);
  else
    TerminateProcess(info.hProcess, code);
  CloseHandle(info.hProcess);
  return static_cast<int>(code);
}

std::string TestName() {
  return "ACT" + std::to_string(GetCurrentProcessId()) + "." +
         std::to_string(::testing::UnitTest::GetInstance()->current_test_info()->line());
}
#else
int RunHelper(const std::string& name) {
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    execl(GUARD_HELPER, GUARD_HELPER, name.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// Short: the socket's path must fit a socket address (108 bytes).
std::string TestName() {
  return "ACT" + std::to_string(::testing::UnitTest::GetInstance()->current_test_info()->line());
}
#endif

class ActivationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(Factory(), nullptr) << "the framework library did not load";
#ifndef _WIN32
    char pattern[] = "/tmp/corvio-activation-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    const char* old = getenv("XDG_RUNTIME_DIR");
    if (old) oldRuntime = old;
    hadOld = old != nullptr;
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
#endif
    name = TestName();
#ifndef _WIN32
    lockPath = dir + "/" + corvio::LockFileName(name);
    socketPath = lockPath + corvio::kActivationSocketSuffix;
#endif
    g_broughtToFront.clear();
    window = NewTestWindow();
    ASSERT_NE(window, nullptr);
  }
  void TearDown() override {
    for (InstanceGuard* g : guards) g->Release(0);
    if (window) DestroyWindow(window);
    Drain();
#ifndef _WIN32
    for (int fd : fds) close(fd);
    if (hadOld) setenv("XDG_RUNTIME_DIR", oldRuntime.c_str(), 1);
    else unsetenv("XDG_RUNTIME_DIR");
    if (system(("rm -rf '" + dir + "'").c_str()) != 0) ADD_FAILURE() << "cannot remove " << dir;
#endif
  }
  InstanceGuard* Guard() {
    guards.push_back(NewGuard(name));
    return guards.back();
  }
  // The first instance, showing the test window, set up in the launcher's order.
  InstanceGuard* Holder() {
    InstanceGuard* guard = Guard();
    EXPECT_EQ(guard->IsFirstInstance(), 1);
    guard->SetMainWindow(HandleOf(window));
    return guard;
  }
  std::string name;
  HWND window = nullptr;
  std::vector<InstanceGuard*> guards;
#ifndef _WIN32
  std::string dir, oldRuntime, lockPath, socketPath;
  bool hadOld = false;
  std::vector<int> fds;
#endif
};

TEST_F(ActivationTest, a_second_process_brings_the_first_window_to_the_front) {
  InstanceGuard* holder = Holder();
  EXPECT_EQ(RunHelper(name), 1) << "the helper should have been a second start";
  ASSERT_TRUE(PumpUntil(1));
  holder->Close();
  Drain();
  ASSERT_EQ(g_broughtToFront.size(), 1u);
  EXPECT_EQ(g_broughtToFront[0], window);
}

TEST_F(ActivationTest, a_closed_holder_is_not_asked_and_the_name_is_free_again) {
  InstanceGuard* holder = Holder();
  holder->Close();
  EXPECT_EQ(RunHelper(name), 0) << "the helper should have been a first start";
  EXPECT_EQ(Guard()->IsFirstInstance(), 1);
  InstanceGuard* second = Guard();
  EXPECT_EQ(second->IsFirstInstance(), 0);
  // The new holder has no window yet: the second start found nothing to bring up.
  Drain();
  EXPECT_TRUE(g_broughtToFront.empty());
}

#ifndef _WIN32
// A client of the socket that connects and then does what the test says. Without
// `wait` it gives up at once when the listener's queue is full.
int Connect(const std::string& path, bool wait = true) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | (wait ? 0 : SOCK_NONBLOCK), 0);
  timeval generous = {5, 0};
  if (fd >= 0) setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &generous, sizeof generous);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
  if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    fd = -1;
  }
  return fd;
}

// A socket bound at `path` and listening, as a stuck or foreign listener would be.
int Listen(const std::string& path, int backlog) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
  if (fd >= 0 && (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
                  listen(fd, backlog) != 0)) {
    close(fd);
    fd = -1;
  }
  return fd;
}

TEST_F(ActivationTest, close_removes_the_socket_file) {
  InstanceGuard* holder = Holder();
  struct stat st;
  ASSERT_EQ(lstat(socketPath.c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  holder->Close();
  EXPECT_NE(lstat(socketPath.c_str(), &st), 0) << "the socket file outlived Close()";
}

TEST_F(ActivationTest, without_a_listener_the_guard_still_guards) {
  name.append(120, 'N');  // no socket address holds a path this long
  EXPECT_EQ(Guard()->IsFirstInstance(), 1);
  EXPECT_EQ(Guard()->IsFirstInstance(), 0);
}

TEST_F(ActivationTest, a_holder_that_never_accepts_does_not_hold_up_a_second_start) {
  // A holder whose listener is stuck: its queue is full and nobody takes from it.
  int lock = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_EQ(flock(lock, LOCK_EX | LOCK_NB), 0);
  fds.push_back(lock);
  int listener = Listen(socketPath, 0);
  ASSERT_GE(listener, 0);
  fds.push_back(listener);
  bool full = false;
  for (int i = 0; i < 64 && !full; ++i) {
    int fd = Connect(socketPath, false);
    if (fd >= 0) fds.push_back(fd);
    full = fd < 0;
  }
  ASSERT_TRUE(full) << "the listener's queue never filled";
  const auto start = Clock::now();
  EXPECT_EQ(Guard()->IsFirstInstance(), 0);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
}

TEST_F(ActivationTest, a_stale_socket_file_does_not_stop_a_new_first_instance) {
  for (const bool deadSocket : {false, true}) {
    SCOPED_TRACE(deadSocket ? "a dead socket" : "a regular file");
    if (deadSocket) {
      int fd = Listen(socketPath, 1);
      ASSERT_GE(fd, 0);
      close(fd);  // the file stays, as after a crash
    } else {
      int fd = open(socketPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
      ASSERT_GE(fd, 0);
      close(fd);
    }
    g_broughtToFront.clear();
    InstanceGuard* holder = Holder();
    EXPECT_EQ(Guard()->IsFirstInstance(), 0);
    EXPECT_TRUE(PumpUntil(1));
    holder->Close();
  }
}

// A link in the socket's place leads to someone else's listener: the holder does not
// replace it, a later start does not connect through it, and the name stays guarded.
TEST_F(ActivationTest, a_link_at_the_socket_path_is_never_followed) {
  const std::string elsewhere = dir + "/elsewhere.sock";
  int foreign = Listen(elsewhere, 4);
  ASSERT_GE(foreign, 0);
  fds.push_back(foreign);
  ASSERT_EQ(symlink(elsewhere.c_str(), socketPath.c_str()), 0);
  ::testing::internal::CaptureStderr();
  Holder();
  EXPECT_EQ(Guard()->IsFirstInstance(), 0);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("cannot listen on " + socketPath), std::string::npos) << said;
  EXPECT_NE(said.find("a symbolic link"), std::string::npos) << said;
  struct stat st;
  ASSERT_EQ(lstat(socketPath.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced";
  int peer = accept4(foreign, nullptr, nullptr, SOCK_CLOEXEC);
  EXPECT_LT(peer, 0) << "a start connected through the link";
  if (peer >= 0) close(peer);
}

TEST_F(ActivationTest, idle_and_wrong_peers_do_not_block_the_next_request) {
  InstanceGuard* holder = Holder();
  for (int i = 0; i < 12; ++i) {  // more than the listener reads at once
    int fd = Connect(socketPath);
    ASSERT_GE(fd, 0);
    fds.push_back(fd);
  }
  int wrong = Connect(socketPath);
  ASSERT_GE(wrong, 0);
  ASSERT_EQ(write(wrong, "hello\n", 6), 6);
  fds.push_back(wrong);
  EXPECT_EQ(Guard()->IsFirstInstance(), 0);
  EXPECT_TRUE(PumpUntil(1));
  holder->Close();
  Drain();
  EXPECT_EQ(g_broughtToFront.size(), 1u) << "only the real request brings the window up";
}
#endif

}  // namespace
