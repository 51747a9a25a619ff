// A program in a folder with a Chinese, a very long or an untranslatable name: the A
// functions hand it its folder in GBK, cut paths are reported as cut, and a name GBK
// cannot hold fails with a message instead of leading to another folder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/linux/path.h"
#include "tests/platform/core_temp_dir.h"

extern char** environ;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Copies the echo program and the platform library into folder and runs the copy there;
// false when it could not run or did not end with 0.
bool RunCopy(const std::string& folder, std::string* out, std::string* err) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path program = fs::path(folder) / "zent_program_folder_echo";
  fs::copy_file(ZENT_PROGRAM_FOLDER_ECHO, program, error);
  if (error) return false;
  fs::copy_file(ZENT_PLATFORM_LIBRARY, fs::path(folder) / fs::path(ZENT_PLATFORM_LIBRARY).filename(), error);
  if (error) return false;
  const std::string outFile = folder + "/out.txt";
  const std::string errFile = folder + "/err.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::string library = "LD_LIBRARY_PATH=" + folder;
  std::vector<char*> envp = {&library[0], nullptr};
  std::string path = program.string();
  std::vector<char*> argv = {&path[0], nullptr};
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
  *out = ReadFile(outFile);
  *err = ReadFile(errFile);
  return true;
}

TEST(PlatformProgramFolder, program_reads_its_own_folder_whatever_its_name) {
  CoreTempDir dir;
  ASSERT_TRUE(dir.ok());
  std::string base;
  ASSERT_TRUE(PlatformWindowsPath("test", dir.path(), &base));
  const std::string longName(90, 'a');
  struct Row {
    const char* name;    // UTF-8, as on disk; the long row nests three such folders
    const char* gbk;     // the same name in GBK; null: no usable folder
    const char* report;  // the first line of the program
  } rows[] = {
      // Their UTF-8 forms end in a byte that reads as a GBK lead byte before '\'.
      {"启动器", "\xc6\xf4\xb6\xaf\xc6\xf7", nullptr},
      {"用", "\xd3\xc3", nullptr},
      {"游戏", "\xd3\xce\xcf\xb7", nullptr},
      {"long", nullptr, "length=260 error=122 chars=259\n"},
      {"😀", nullptr, "length=0 error=1113 chars=0\n"},
  };
  int row = 0;
  for (const Row& r : rows) {
    const std::string parent = dir.path() + "/" + std::to_string(row);
    std::string folder = parent + "/" + r.name;
    if (std::string(r.name) == "long") folder = parent + "/" + longName + "/" + longName + "/" + longName;
    std::filesystem::create_directories(folder);
    // A profile one level up must never be read in place of the program's own.
    dir.Write(std::to_string(row) + "/probe.ini", "[s]\r\nk=outside\r\n");
    std::ofstream(folder + "/probe.ini", std::ios::binary) << "[s]\r\nk=inside\r\n";
    std::string out, err;
    ASSERT_TRUE(RunCopy(folder, &out, &err)) << "row " << row << ": " << err;
    if (r.gbk) {
      const std::string want = base + "\\" + std::to_string(row) + "\\" + r.gbk;
      const std::string exe = want + "\\zent_program_folder_echo";
      EXPECT_EQ(out, "length=" + std::to_string(exe.size()) + " error=0 chars=" + std::to_string(exe.size()) +
                         "\nfolder=" + want + "\nvalue=inside\ncurrent=" + want + "\n")
          << "row " << row;
      EXPECT_EQ(err, "") << "row " << row;
    } else {
      EXPECT_EQ(out, r.report) << "row " << row;
    }
    if (std::string(r.name) == "😀") {
      EXPECT_NE(err.find("GetModuleFileNameA"), std::string::npos) << err;
      EXPECT_NE(err.find(r.name), std::string::npos) << err;
    }
    ++row;
  }
}

}  // namespace
