// The single-instance guard across real processes: one holder at a time, a killed holder
// frees the name, a crowd started at once has exactly one first instance; on Linux also
// where the lock lives and that nothing another user could plant switches the guard off.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "components/interfaces.h"
#include "tests/corvio/guard_factory.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "corvio/guard/linux/lock_dir.h"
#endif

namespace {


// Mutex names are shared by every program of the session: each test program uses its own.
std::string UniqueName(const std::string& base) {
#ifdef _WIN32
  return base + "." + std::to_string(GetCurrentProcessId());
#else
  return base + "." + std::to_string(getpid());
#endif
}

const std::string kName = UniqueName("KIWAZENTDISTRICT");
constexpr int kKilled = 137;  // the exit code of a helper killed by the test

// The guards of one test, released whatever happens.
struct Guards {
  ~Guards() {
    for (InstanceGuard* g : all) g->Release(0);
  }
  InstanceGuard* New(const std::string& name) {
    all.push_back(NewGuard(name));
    return all.back();
  }
  std::vector<InstanceGuard*> all;
};

// A running helper: the pipes to its standard input and from its standard output.
#ifdef _WIN32
struct Helper {
  HANDLE process = nullptr;
  HANDLE stdinWrite = nullptr;
  HANDLE stdoutRead = nullptr;
};

std::string HelperPath() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dir(path, n < sizeof path ? n : 0);
  return dir.substr(0, dir.find_last_of("\\/") + 1) + "corvio_guard_helper.exe";
}

Helper StartHelper(const std::string& name) {
  Helper h;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE inRead, inWrite, outRead, outWrite;
  if (!CreatePipe(&inRead, &inWrite, &inherit, 0)) return h;
  if (!CreatePipe(&outRead, &outWrite, &inherit, 0)) {
    CloseHandle(inRead);
    CloseHandle(inWrite);
    return h;
  }
  SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inRead;
  startup.hStdOutput = outWrite;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  std::string command = "\"" + HelperPath() + "\" \"" + name + "\"";
  PROCESS_INFORMATION info = {};
  const BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &info);
  CloseHandle(inRead);
  CloseHandle(outWrite);
  if (!started) {
    CloseHandle(inWrite);
    CloseHandle(outRead);
    return h;
  }
  CloseHandle(info.hThread);
  h.process = info.hProcess;
  h.stdinWrite = inWrite;
  h.stdoutRead = outRead;
  return h;
}

bool ReadByte(const Helper& h, char* c) {
  DWORD got = 0;
  return h.stdoutRead && ReadFile(h.stdoutRead, c, 1, &got, nullptr) && got == 1;
}

void Kill(Helper& h) {
  if (h.process) TerminateProcess(h.process, kKilled);
}

// Closes the helper's input (it gives the name up) and gives its exit code.
int Finish(Helper& h) {
  if (h.stdinWrite) CloseHandle(h.stdinWrite);
  if (h.stdoutRead) CloseHandle(h.stdoutRead);
  h.stdinWrite = h.stdoutRead = nullptr;
  DWORD code = 0;
  if (h.process) {
    if (WaitForSingleObject(h.process, 30000) != WAIT_OBJECT_0) TerminateProcess(h.process, 255);
    WaitForSingleObject(h.process, 5000);
    GetExitCodeProcess(h.process, &code);
    CloseHandle(h.process);
  }
  h.process = nullptr;
  return static_cast<int>(code);
}
#else
struct Helper {
  pid_t pid = -1;
  int stdinWrite = -1;
  int stdoutRead = -1;
};

Helper StartHelper(const std::string& name) {
  Helper h;
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0) return h;
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]);
    close(in[1]);
    return h;
  }
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    execl(GUARD_HELPER, GUARD_HELPER, name.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  h.pid = pid;
  h.stdinWrite = in[1];
  h.stdoutRead = out[0];
  return h;
}

bool ReadByte(const Helper& h, char* c) {
  return h.stdoutRead >= 0 && read(h.stdoutRead, c, 1) == 1;
}

void Kill(Helper& h) {
  if (h.pid > 0) kill(h.pid, SIGKILL);
}

int Finish(Helper& h) {
  if (h.stdinWrite >= 0) close(h.stdinWrite);
  if (h.stdoutRead >= 0) close(h.stdoutRead);
  h.stdinWrite = h.stdoutRead = -1;
  int status = 0;
  if (h.pid > 0) waitpid(h.pid, &status, 0);
  h.pid = -1;
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}
#endif

// The helper's one-line answer ("first" or "second"), empty when it died first.
std::string ReadAnswer(const Helper& h) {
  std::string line;
  char c;
  while (ReadByte(h, &c) && c != '\n')
    if (c != '\r') line += c;
  return line;
}

class GuardTest : public ::testing::Test {
 protected:
#ifndef _WIN32
  // Each test gets a private runtime folder, and a state folder of its own for the
  // fallback, so nothing reaches the real ones.
  void SetUp() override {
    ASSERT_NE(Factory(), nullptr) << "the framework library did not load";
    char pattern[] = "/tmp/corvio-guard-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    runtime = dir + "/run";
    state = dir + "/state";
    ASSERT_EQ(mkdir(runtime.c_str(), 0700), 0);
    Save("XDG_RUNTIME_DIR", runtime.c_str());
    Save("XDG_STATE_HOME", state.c_str());
  }
  void TearDown() override {
    KillHelpers();
    for (auto saved = env.rbegin(); saved != env.rend(); ++saved) {
      if (saved->had) setenv(saved->name, saved->value.c_str(), 1);
      else unsetenv(saved->name);
    }
    if (system(("rm -rf '" + dir + "'").c_str()) != 0) ADD_FAILURE() << "cannot remove " << dir;
  }
  // Sets a variable for this test; null unsets it. The old value comes back afterwards.
  void Save(const char* name, const char* value) {
    const char* old = getenv(name);
    env.push_back({name, old != nullptr, old ? old : ""});
    if (value) setenv(name, value, 1);
    else unsetenv(name);
  }
  struct SavedVariable {
    const char* name;
    bool had;
    std::string value;
  };
  std::vector<SavedVariable> env;
  std::string dir, runtime, state;
#else
  void SetUp() override { ASSERT_NE(Factory(), nullptr) << "CorvFact.dll did not load"; }
  void TearDown() override { KillHelpers(); }
#endif
  void KillHelpers() {
    for (Helper& h : helpers) {
      Kill(h);
      Finish(h);
    }
  }
  std::vector<Helper> helpers;
};

TEST_F(GuardTest, two_processes_only_one_is_first) {
  helpers.push_back(StartHelper(kName));
  ASSERT_EQ(ReadAnswer(helpers[0]), "first");
  helpers.push_back(StartHelper(kName));
  EXPECT_EQ(ReadAnswer(helpers[1]), "second");
  EXPECT_EQ(Finish(helpers[1]), 1);
  EXPECT_EQ(Finish(helpers[0]), 0);
}

TEST_F(GuardTest, a_closed_guard_frees_the_name) {
  helpers.push_back(StartHelper(kName));
  ASSERT_EQ(ReadAnswer(helpers[0]), "first");
  EXPECT_EQ(Finish(helpers[0]), 0);
  Guards guards;
  EXPECT_EQ(guards.New(kName)->IsFirstInstance(), 1);
}

TEST_F(GuardTest, a_killed_holder_releases_the_name) {
  helpers.push_back(StartHelper(kName));
  ASSERT_EQ(ReadAnswer(helpers[0]), "first");
  Guards guards;
  InstanceGuard* guard = guards.New(kName);
  EXPECT_EQ(guard->IsFirstInstance(), 0);
  Kill(helpers[0]);
  ASSERT_EQ(Finish(helpers[0]), kKilled);
  EXPECT_EQ(guard->IsFirstInstance(), 1);  // asking again takes the freed name
}

TEST_F(GuardTest, twenty_processes_at_once_give_exactly_one_first) {
  for (int i = 0; i < 20; ++i) helpers.push_back(StartHelper(kName));
  int first = 0, second = 0;
  for (size_t i = 0; i < helpers.size(); ++i) {
    const std::string answer = ReadAnswer(helpers[i]);
    if (answer == "first") ++first;
    else if (answer == "second") ++second;
    else ADD_FAILURE() << "helper " << i << " answered \"" << answer << "\"";
  }
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 19);
}

// Names the system's namespace would read as paths, prefixes or other names.
TEST_F(GuardTest, every_name_is_one_name_of_its_own) {
  const char* rows[] = {"KIWAZENTDISTRICT", "a\\b", "Global\\x", "a/b", "..", "x y",
                        "\xb4\xf3", "a%5Cb"};
  for (size_t row = 0; row < sizeof rows / sizeof rows[0]; ++row) {
    SCOPED_TRACE("row " + std::to_string(row));
    const std::string name = UniqueName(rows[row]);
    Guards guards;
    InstanceGuard* a = guards.New(name);
    InstanceGuard* b = guards.New(name);
    EXPECT_EQ(a->IsFirstInstance(), 1);
    EXPECT_EQ(a->IsFirstInstance(), 1);  // the holder asking again stays first
    EXPECT_EQ(b->IsFirstInstance(), 0);
    EXPECT_EQ(guards.New(name + "2")->IsFirstInstance(), 1);
    EXPECT_EQ(a->SetMainWindow(0x1234), 1);
    a->Close();
    EXPECT_EQ(b->IsFirstInstance(), 1);
  }
  // A name and the escaped form of another are still two names.
  Guards guards;
  EXPECT_EQ(guards.New(UniqueName("a\\b"))->IsFirstInstance(), 1);
  EXPECT_EQ(guards.New(UniqueName("a%5Cb"))->IsFirstInstance(), 1);
}

TEST_F(GuardTest, a_name_too_long_for_the_system_is_not_guarded_but_never_refused) {
  const std::string name(400, 'L');
  Guards guards;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(guards.New(name)->IsFirstInstance(), 1);
  EXPECT_EQ(guards.New(name)->IsFirstInstance(), 1);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("not guarded"), std::string::npos);
}

TEST_F(GuardTest, a_guard_without_name_is_always_first) {
  Guards guards;
  EXPECT_EQ(guards.New("")->IsFirstInstance(), 1);
  EXPECT_EQ(guards.New("")->IsFirstInstance(), 1);
}

#ifndef _WIN32
uid_t Nobody() {
  const passwd* entry = getpwnam("nobody");
  return entry ? entry->pw_uid : 65534;
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

TEST_F(GuardTest, lock_file_is_private_to_the_user) {
  Guards guards;
  ASSERT_EQ(guards.New(kName)->IsFirstInstance(), 1);
  struct stat st;
  const std::string path = runtime + "/" + corvio::LockFileName(kName);
  ASSERT_EQ(lstat(path.c_str(), &st), 0) << path;
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 077, 0u);
}

// Where the lock goes for each state of the runtime folder: the runtime folder only when
// it is this user's and nobody else may write into it, else the state folder, never /tmp.
TEST_F(GuardTest, the_lock_folder_is_one_only_this_user_can_write_into) {
  enum Runtime { kPrivate, kUnset, kRelative, kOpenToAll, kGroupWritable, kSomeoneElses, kLink };
  struct Row {
    Runtime runtime;
    bool inRuntime;  // else in the state folder's corvio/
  } rows[] = {{kPrivate, true},      {kUnset, false},         {kRelative, false},
              {kOpenToAll, false},   {kGroupWritable, false}, {kSomeoneElses, false},
              {kLink, false}};
  for (size_t row = 0; row < sizeof rows / sizeof rows[0]; ++row) {
    SCOPED_TRACE("row " + std::to_string(row));
    const std::string run = dir + "/run" + std::to_string(row);
    ASSERT_EQ(mkdir(run.c_str(), 0700), 0);
    std::string value = run;
    if (rows[row].runtime == kOpenToAll) chmod(run.c_str(), 0777);
    if (rows[row].runtime == kGroupWritable) chmod(run.c_str(), 0770);
    if (rows[row].runtime == kSomeoneElses) { ASSERT_EQ(chown(run.c_str(), Nobody(), -1), 0); }
    if (rows[row].runtime == kRelative) value = "run" + std::to_string(row);
    if (rows[row].runtime == kLink) {
      value = run + ".link";
      ASSERT_EQ(symlink(run.c_str(), value.c_str()), 0);
    }
    if (rows[row].runtime == kUnset) unsetenv("XDG_RUNTIME_DIR");
    else setenv("XDG_RUNTIME_DIR", value.c_str(), 1);

    corvio::LockDirectory lockDir;
    std::string why;
    ::testing::internal::CaptureStderr();
    const bool found = corvio::OpenLockDirectory(&lockDir, &why);
    const std::string said = ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(found) << why;
    EXPECT_EQ(lockDir.path, rows[row].inRuntime ? run : state + "/corvio");
    struct stat st;
    ASSERT_EQ(fstat(lockDir.fd, &st), 0);
    ASSERT_EQ(lstat(lockDir.path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_uid, geteuid());
    if (!rows[row].inRuntime) { EXPECT_EQ(st.st_mode & 0777, 0700u); }
    // A runtime folder that was given but refused is named, with the reason.
    const bool refusedGiven = !rows[row].inRuntime && rows[row].runtime != kUnset;
    EXPECT_EQ(said.find("XDG_RUNTIME_DIR is not private") != std::string::npos, refusedGiven)
        << said;
  }
}

TEST_F(GuardTest, without_a_state_variable_the_fallback_is_under_the_home_folder) {
  const std::string home = dir + "/home";
  ASSERT_EQ(mkdir(home.c_str(), 0755), 0);
  Save("HOME", home.c_str());
  Save("XDG_STATE_HOME", nullptr);
  Save("XDG_RUNTIME_DIR", nullptr);
  corvio::LockDirectory lockDir;
  std::string why;
  ASSERT_TRUE(corvio::OpenLockDirectory(&lockDir, &why)) << why;
  EXPECT_EQ(lockDir.path, home + "/.local/state/corvio");
  struct stat st;
  ASSERT_EQ(stat((home + "/.local/state").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

// What a hostile or broken setup leaves at the lock's places: the guard never follows
// it, never touches what it points to, and lets the player play with one line saying why.
TEST_F(GuardTest, what_was_planted_is_refused_and_the_player_still_plays) {
  enum Plant { kLockLink, kLockFifo, kFolderOfSomeoneElse, kFolderLink, kStateOpenToAll };
  const char* expected[] = {"a symbolic link", "not a plain file", "not this user's",
                            "a symbolic link", "writable by others"};
  for (int row = 0; row <= kStateOpenToAll; ++row) {
    SCOPED_TRACE("row " + std::to_string(row));
    const std::string root = dir + "/plant" + std::to_string(row);
    const std::string stateHome = root + "/state";
    const std::string own = stateHome + "/corvio";
    const std::string target = root + "/target";
    ASSERT_EQ(system(("mkdir -p '" + stateHome + "'").c_str()), 0);
    chmod(stateHome.c_str(), 0700);
    setenv("XDG_STATE_HOME", stateHome.c_str(), 1);
    unsetenv("XDG_RUNTIME_DIR");
    const std::string lockPath = own + "/" + corvio::LockFileName(kName);
    if (row == kLockLink || row == kLockFifo || row == kFolderOfSomeoneElse) {
      ASSERT_EQ(mkdir(own.c_str(), 0700), 0);
    }
    if (row == kLockLink) { ASSERT_EQ(symlink(target.c_str(), lockPath.c_str()), 0); }
    if (row == kLockFifo) { ASSERT_EQ(mkfifo(lockPath.c_str(), 0600), 0); }
    if (row == kFolderOfSomeoneElse) { ASSERT_EQ(chown(own.c_str(), Nobody(), -1), 0); }
    if (row == kFolderLink) {
      ASSERT_EQ(mkdir(target.c_str(), 0700), 0);
      ASSERT_EQ(symlink(target.c_str(), own.c_str()), 0);
    }
    if (row == kStateOpenToAll) chmod(stateHome.c_str(), 0777);

    Guards guards;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(guards.New(kName)->IsFirstInstance(), 1);
    EXPECT_EQ(guards.New(kName)->IsFirstInstance(), 1);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("not guarded"), std::string::npos) << said;
    EXPECT_NE(said.find(expected[row]), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 2) << "one line for each start: " << said;
    if (row == kLockLink) { EXPECT_FALSE(Exists(target)) << "the link was followed"; }
    if (row == kFolderLink) { EXPECT_FALSE(Exists(target + "/" + corvio::LockFileName(kName))); }
    if (row == kStateOpenToAll) { EXPECT_FALSE(Exists(own)) << "a folder made in a shared one"; }
  }
}

TEST(GuardLockName, unsafe_characters_are_escaped) {
  struct Row {
    const char* name;
    const char* file;
  } rows[] = {{"KIWAZENTDISTRICT", "KIWAZENTDISTRICT.lock"},
              {"a/b", "a%2Fb.lock"},
              {"a\\b", "a%5Cb.lock"},
              {"..", "%2E..lock"},
              {"x y", "x%20y.lock"},
              {"\xb4\xf3", "%B4%F3.lock"}};
  for (size_t row = 0; row < sizeof rows / sizeof rows[0]; ++row) {
    EXPECT_EQ(corvio::LockFileName(rows[row].name), rows[row].file) << "row " << row;
  }
}
#endif

}  // namespace
