// ShellExecuteA: parameter splitting by the Windows rules, program lookup, error codes,
// the working directory, no inherited descriptors and no zombie.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/platform/core_temp_dir.h"

namespace {

struct Recorded {
  std::vector<std::string> args;
  std::string cwd;
  std::vector<int> fds;
};

class ShellExecute : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    setenv("ZENT_ARGV_FILE", record_.c_str(), 1);
  }

  // Copies the recorder into the test folder under `name`.
  std::string InstallRecorder(const std::string& name, const std::string& folder = "") {
    std::string target = dir_ + (folder.empty() ? "" : "/" + folder);
    mkdir(target.c_str(), 0755);
    target += "/" + name;
    std::ifstream in(ZENT_ARGV_RECORDER, std::ios::binary);
    std::ofstream out(target, std::ios::binary);
    out << in.rdbuf();
    out.close();
    chmod(target.c_str(), 0755);
    return target;
  }

  // Waits (generously) for the started program's record.
  bool ReadRecord(Recorded* recorded) {
    for (int i = 0; i < 1000 && access(record_.c_str(), F_OK) != 0; ++i) usleep(10000);
    std::ifstream in(record_, std::ios::binary);
    if (!in) return false;
    std::string word;
    while (in >> word) {
      if (word == "argc") {
        int n;
        in >> n;
      } else if (word == "arg") {
        size_t index, length;
        in >> index >> length;
        in.get();
        std::string value(length, '\0');
        in.read(&value[0], static_cast<std::streamsize>(length));
        recorded->args.push_back(value);
      } else if (word == "cwd") {
        in.get();
        std::getline(in, recorded->cwd);
      } else if (word == "fd") {
        int fd;
        in >> fd;
        recorded->fds.push_back(fd);
      }
    }
    unlink(record_.c_str());
    return true;
  }

  CoreTempDir folder_;  // the current directory while the test runs, restored after
  const std::string dir_ = folder_.path();
  const std::string record_ = dir_ + "/argv.txt";
};

intptr_t Code(HINSTANCE result) { return reinterpret_cast<intptr_t>(result); }

struct SplitCase {
  const char* parameters;
  std::vector<std::string> expected;
};

TEST_F(ShellExecute, parameter_text_is_split_by_the_windows_rules) {
  const SplitCase cases[] = {
      {"a b", {"a", "b"}},
      {"\"a b\" c", {"a b", "c"}},
      {"a\\\"b", {"a\"b"}},
      {"a\\\\\"b c\"", {"a\\b c"}},
      {"a b   ", {"a", "b"}},
      {"", {}},
      {nullptr, {}},
      {"   ", {}},
      {"\"\"", {""}},
      {"\"a\"\"b\"", {"a\"b"}},
      {"x\\y\\\\z", {"x\\y\\\\z"}},
      {"\"open quote", {"open quote"}},
      {"a\tb", {"a", "b"}},
      {"^ & | %PATH%", {"^", "&", "|", "%PATH%"}},
      // GBK text reaches the program in UTF-8; a trail byte 0x5C escapes no quote.
      {"\xb4\xf3\xc7\xf8 1", {"大区", "1"}},
      {"\"a \x95\x5c\" b", {"a 昞", "b"}},
  };
  std::string program = InstallRecorder("ZentLauncher.exe");
  for (size_t row = 0; row < sizeof cases / sizeof cases[0]; ++row) {
    const SplitCase& c = cases[row];
    EXPECT_GT(Code(ShellExecuteA(nullptr, "open", program.c_str(), c.parameters, nullptr, SW_SHOW)), 32)
        << "row " << row;
    Recorded recorded;
    ASSERT_TRUE(ReadRecord(&recorded)) << "row " << row << ": the program did not run";
    ASSERT_FALSE(recorded.args.empty()) << "row " << row;
    EXPECT_EQ(recorded.args[0], program) << "row " << row;
    std::vector<std::string> rest(recorded.args.begin() + 1, recorded.args.end());
    EXPECT_EQ(rest, c.expected) << "row " << row;
  }
}

TEST_F(ShellExecute, missing_file_gives_2_and_missing_folder_3) {
  EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", "NoSuchProgram.exe", "", nullptr, SW_SHOW)), SE_ERR_FNF);
  EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", ".\\NoSuchProgram.exe", "", nullptr, SW_SHOW)), SE_ERR_FNF);
  EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", "nodir\\x.exe", "", nullptr, SW_SHOW)), SE_ERR_PNF);
  EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", "", "", nullptr, SW_SHOW)), SE_ERR_FNF);
}

TEST_F(ShellExecute, relative_name_resolves_in_the_working_directory_without_regard_to_case) {
  std::string program = InstallRecorder("RudaDever.exe");
  EXPECT_GT(Code(ShellExecuteA(nullptr, "open", ".\\rudadever.EXE", nullptr, nullptr, SW_SHOW)), 32);
  Recorded recorded;
  ASSERT_TRUE(ReadRecord(&recorded));
  EXPECT_EQ(recorded.args.size(), 1u);
  EXPECT_EQ(recorded.cwd, dir_);
  EXPECT_GT(Code(ShellExecuteA(nullptr, nullptr, "RUDADEVER.exe", "x", nullptr, SW_SHOW)), 32);
  Recorded second;
  ASSERT_TRUE(ReadRecord(&second));
  ASSERT_EQ(second.args.size(), 2u);
  EXPECT_EQ(second.args[1], "x");
}

TEST_F(ShellExecute, bare_name_is_found_on_path_and_directory_sets_the_working_directory) {
  InstallRecorder("PathOnly.exe", "bin");
  std::string work = dir_ + "/work";
  mkdir(work.c_str(), 0755);
  std::string savedPath = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", (dir_ + "/bin:" + savedPath).c_str(), 1);
  ASSERT_EQ(chdir(work.c_str()), 0);
  intptr_t code = Code(ShellExecuteA(nullptr, "open", "PathOnly.exe", "p", dir_.c_str(), SW_SHOW));
  setenv("PATH", savedPath.c_str(), 1);
  EXPECT_GT(code, 32);
  Recorded recorded;
  ASSERT_TRUE(ReadRecord(&recorded));
  EXPECT_EQ(recorded.cwd, dir_);
  ASSERT_EQ(recorded.args.size(), 2u);
  EXPECT_EQ(recorded.args[0], dir_ + "/bin/PathOnly.exe");
}

TEST_F(ShellExecute, other_verbs_documents_and_folders_have_no_association) {
  std::string program = InstallRecorder("ZentLauncher.exe");
  EXPECT_EQ(Code(ShellExecuteA(nullptr, "print", program.c_str(), "", nullptr, SW_SHOW)), SE_ERR_NOASSOC);
  std::string document = dir_ + "/notes.txt";
  std::ofstream(document) << "text";
  EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", document.c_str(), "", nullptr, SW_SHOW)), SE_ERR_NOASSOC);
  EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", dir_.c_str(), "", nullptr, SW_SHOW)), SE_ERR_NOASSOC);
}

TEST_F(ShellExecute, started_program_inherits_no_descriptor_and_leaves_no_zombie) {
  std::string program = InstallRecorder("ZentLauncher.exe");
  int leaked = open("/dev/null", O_RDONLY);  // deliberately without O_CLOEXEC
  ASSERT_GE(leaked, 0);
  EXPECT_GT(Code(ShellExecuteA(nullptr, "open", program.c_str(), "a", nullptr, SW_SHOW)), 32);
  Recorded recorded;
  ASSERT_TRUE(ReadRecord(&recorded));
  close(leaked);
  EXPECT_TRUE(recorded.fds.empty()) << "descriptor " << recorded.fds[0] << " was inherited";
  // The program was started through a double fork: we have no child at all to reap.
  int status = 0;
  errno = 0;
  EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST_F(ShellExecute, program_and_folder_named_in_gbk_are_found_in_utf8) {
  // "游戏\启动器.exe" in GBK, with the folder "游戏" as the working directory.
  std::string program = InstallRecorder("启动器.exe", "游戏");
  EXPECT_GT(Code(ShellExecuteA(nullptr, "open", ".\\\xd3\xce\xcf\xb7\\\xc6\xf4\xb6\xaf\xc6\xf7.exe",
                               nullptr, "\xd3\xce\xcf\xb7", SW_SHOW)),
            32);
  Recorded recorded;
  ASSERT_TRUE(ReadRecord(&recorded));
  ASSERT_EQ(recorded.args.size(), 1u);
  EXPECT_EQ(recorded.args[0], program);
  EXPECT_EQ(recorded.cwd, dir_ + "/游戏");
  // Text that is not GBK starts nothing.
  EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", ".\\\xff.exe", nullptr, nullptr, SW_SHOW)), SE_ERR_FNF);
  const std::string ascii = InstallRecorder("ZentLauncher.exe");
  EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", ascii.c_str(), "a\xff", nullptr, SW_SHOW)), SE_ERR_FNF);
  EXPECT_NE(access(record_.c_str(), F_OK), 0);
}

TEST_F(ShellExecute, bad_working_directory_fails_without_starting) {
  std::string program = InstallRecorder("ZentLauncher.exe");
  std::string missing = dir_ + "/missing";
  EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", program.c_str(), "", missing.c_str(), SW_SHOW)), SE_ERR_PNF);
  EXPECT_NE(access(record_.c_str(), F_OK), 0);
}

}  // namespace
