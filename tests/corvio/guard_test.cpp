// The single-instance guard across real processes: one holder at a time, a killed
// holder frees the name, and a crowd started at once has exactly one first instance.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "components/interfaces.h"
#include "corvio/guard/instance_guard.h"
#include "corvio/guard/lock_dir.h"

extern "C" ComponentFactory* CreateComponent(uint32_t id, uint32_t reserved);

namespace {

const char kName[] = "KIWAZENTDISTRICT";

InstanceGuard* NewGuard(const char* name) {
  Component* c = CreateComponent(361, 0)->NewComponent(InstanceGuard::kId, nullptr);
  if (!c) return nullptr;
  c->Initialize(0);
  auto* guard = static_cast<InstanceGuard*>(c);
  guard->SetName(name);
  return guard;
}

// A running helper: its pid, the pipe to its standard input and its answer.
struct Helper {
  pid_t pid = -1;
  int stdinWrite = -1;
  int stdoutRead = -1;
};

Helper StartHelper(const char* name) {
  Helper h;
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return h;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    close(in[0]);
    close(in[1]);
    close(out[0]);
    close(out[1]);
    execl(GUARD_HELPER, GUARD_HELPER, name, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  h.pid = pid;
  h.stdinWrite = in[1];
  h.stdoutRead = out[0];
  return h;
}

// The helper's one-line answer ("first" or "second"), empty when it died first.
std::string ReadAnswer(const Helper& h) {
  std::string line;
  char c;
  while (read(h.stdoutRead, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

int Finish(Helper& h) {
  if (h.stdinWrite >= 0) close(h.stdinWrite);
  if (h.stdoutRead >= 0) close(h.stdoutRead);
  h.stdinWrite = h.stdoutRead = -1;
  int status = 0;
  if (h.pid > 0) waitpid(h.pid, &status, 0);
  h.pid = -1;
  return status;
}

class GuardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/corvio-guard-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    chmod(dir.c_str(), 0700);
    const char* old = getenv("XDG_RUNTIME_DIR");
    hadOld = old != nullptr;
    if (old) oldRuntime = old;
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  }
  void TearDown() override {
    for (Helper& h : helpers) {
      if (h.pid > 0) kill(h.pid, SIGKILL);
      Finish(h);
    }
    if (hadOld) setenv("XDG_RUNTIME_DIR", oldRuntime.c_str(), 1);
    else unsetenv("XDG_RUNTIME_DIR");
    std::string command = "rm -rf '" + dir + "'";
    if (system(command.c_str()) != 0) ADD_FAILURE() << "cannot remove " << dir;
  }
  std::string dir, oldRuntime;
  bool hadOld = false;
  std::vector<Helper> helpers;
};

TEST_F(GuardTest, two_processes_only_one_is_first) {
  helpers.push_back(StartHelper(kName));
  ASSERT_EQ(ReadAnswer(helpers[0]), "first");
  helpers.push_back(StartHelper(kName));
  EXPECT_EQ(ReadAnswer(helpers[1]), "second");
  EXPECT_EQ(WEXITSTATUS(Finish(helpers[1])), 1);
  EXPECT_EQ(WEXITSTATUS(Finish(helpers[0])), 0);
}

TEST_F(GuardTest, a_closed_guard_frees_the_name) {
  helpers.push_back(StartHelper(kName));
  ASSERT_EQ(ReadAnswer(helpers[0]), "first");
  Finish(helpers[0]);
  InstanceGuard* guard = NewGuard(kName);
  ASSERT_NE(guard, nullptr);
  EXPECT_EQ(guard->IsFirstInstance(), 1);
  guard->Release(0);
}

TEST_F(GuardTest, a_killed_holder_releases_the_name) {
  helpers.push_back(StartHelper(kName));
  ASSERT_EQ(ReadAnswer(helpers[0]), "first");
  InstanceGuard* guard = NewGuard(kName);
  ASSERT_NE(guard, nullptr);
  EXPECT_EQ(guard->IsFirstInstance(), 0);
  kill(helpers[0].pid, SIGKILL);
  const int status = Finish(helpers[0]);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(guard->IsFirstInstance(), 1);  // asking again takes the freed name
  guard->Release(0);
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

TEST_F(GuardTest, different_names_do_not_block_each_other) {
  InstanceGuard* a = NewGuard("NAME_A");
  InstanceGuard* b = NewGuard("NAME_B");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a->IsFirstInstance(), 1);
  EXPECT_EQ(b->IsFirstInstance(), 1);
  a->Release(0);
  b->Release(0);
}

TEST_F(GuardTest, holder_asking_again_stays_first_and_close_releases) {
  InstanceGuard* a = NewGuard(kName);
  InstanceGuard* b = NewGuard(kName);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a->IsFirstInstance(), 1);
  EXPECT_EQ(a->IsFirstInstance(), 1);
  EXPECT_EQ(b->IsFirstInstance(), 0);
  EXPECT_EQ(a->SetMainWindow(0x1234), 1);
  a->Close();
  EXPECT_EQ(b->IsFirstInstance(), 1);
  a->Release(0);
  b->Release(0);
}

TEST_F(GuardTest, lock_file_is_private_to_the_user) {
  InstanceGuard* a = NewGuard(kName);
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(a->IsFirstInstance(), 1);
  struct stat st;
  const std::string path = dir + "/" + corvio::LockFileName(kName);
  ASSERT_EQ(stat(path.c_str(), &st), 0) << path;
  EXPECT_EQ(st.st_mode & 077, 0u);
  a->Release(0);
}

std::string g_hookName;
long g_hookPid = -1;
void RecordSecondStart(const char* name, long pid) {
  g_hookName = name;
  g_hookPid = pid;
}

TEST_F(GuardTest, second_start_hook_learns_the_holder_pid) {
  helpers.push_back(StartHelper(kName));
  ASSERT_EQ(ReadAnswer(helpers[0]), "first");
  corvio::SetSecondStartHook(RecordSecondStart);
  InstanceGuard* guard = NewGuard(kName);
  ASSERT_NE(guard, nullptr);
  EXPECT_EQ(guard->IsFirstInstance(), 0);
  corvio::SetSecondStartHook(nullptr);
  EXPECT_EQ(g_hookName, kName);
  EXPECT_EQ(g_hookPid, static_cast<long>(helpers[0].pid));
  guard->Release(0);
}

TEST_F(GuardTest, shared_runtime_folder_falls_back_to_a_private_temporary_folder) {
  chmod(dir.c_str(), 0777);  // writable by others: not safe for locks
  const std::string tmp = dir + "/tmp";
  ASSERT_EQ(mkdir(tmp.c_str(), 0700), 0);
  const char* oldTmp = getenv("TMPDIR");
  const std::string saved = oldTmp ? oldTmp : "";
  setenv("TMPDIR", tmp.c_str(), 1);
  const std::string lockDir = corvio::LockDirectory();
  if (oldTmp) setenv("TMPDIR", saved.c_str(), 1);
  else unsetenv("TMPDIR");
  chmod(dir.c_str(), 0700);
  EXPECT_EQ(lockDir, tmp + "/corvio-" + std::to_string(getuid()));
  struct stat st;
  ASSERT_EQ(lstat(lockDir.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 077, 0u);
}

TEST(GuardLockName, unsafe_characters_are_escaped) {
  struct Row {
    const char* name;
    const char* file;
  } rows[] = {{"KIWAZENTDISTRICT", "KIWAZENTDISTRICT.lock"},
              {"a/b", "a%2Fb.lock"},
              {"..", "%2E..lock"},
              {"x y", "x%20y.lock"},
              {"\xb4\xf3", "%B4%F3.lock"}};
  for (size_t row = 0; row < sizeof rows / sizeof rows[0]; ++row) {
    EXPECT_EQ(corvio::LockFileName(rows[row].name), rows[row].file) << "row " << row;
  }
}

TEST(GuardUnnamed, a_guard_without_name_is_always_first) {
  InstanceGuard* a = NewGuard(nullptr);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->IsFirstInstance(), 1);
  a->Release(0);
}

}  // namespace
