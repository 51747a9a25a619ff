// The launcher started without its framework library or its skin: it tells the player
// what is missing and where it was looked for (on Linux the message box writes to
// standard error), and ends with code 0 as before. Runs the real program from prepared
// program directories.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <string>

#include "tests/components/loader_test_support.h"

namespace {

using namespace loader_test;

struct Outcome {
  int status;
  std::string err;
};

class StartFailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.ok());
    prog_ = root_ / "prog";
    fs::create_directories(prog_);
    fs::create_directories(root_ / "runtime");
    fs::permissions(root_ / "runtime", fs::perms::owner_all);
    const fs::path dist(ZENT_DIST_DIR);
    for (const char* file : {"ZentPorter", "libzent_platform.so"})
      fs::copy_file(dist / file, prog_ / file);
    // Never the default list host: a closed loopback port.
    WriteTextFile(prog_ / "Config" / "rudadever.ini", "[Public]\r\nserverhost=127.0.0.1:9\r\n");
  }
  Outcome Start() {
    const std::string command = "cd '" + prog_.string() + "' && XDG_RUNTIME_DIR='" +
                                (root_ / "runtime").string() +
                                "' SDL_VIDEODRIVER=offscreen ./ZentPorter >/dev/null 2>'" +
                                (root_ / "err.txt").string() + "'";
    const int status = system(command.c_str());
    return Outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadTextFile(root_ / "err.txt")};
  }

  TempDir temp_{"start"};
  const fs::path root_ = temp_.path();
  fs::path prog_;
};

// The box's first line on standard error: the caption, then the text.
const char kCaption[] = "ZentPorter: ";

TEST_F(StartFailureTest, without_the_framework_library_the_player_is_told_what_and_where) {
  struct Row {
    const char* ini;  // null: no Corvio.ini at all
    std::string named;
  } rows[] = {
      {nullptr, WindowsForm(prog_ / "Corvio.ini")},
      {"[361]\r\n", "[361] DLL"},
      {"[361]\r\nDLL=lib\\CorvFact.dll\r\n", WindowsForm(prog_ / "lib") + "\\CorvFact.dll"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    std::error_code ignored;
    fs::remove(prog_ / "Corvio.ini", ignored);
    if (rows[i].ini) WriteTextFile(prog_ / "Corvio.ini", rows[i].ini);
    const Outcome run = Start();
    EXPECT_EQ(run.status, 0) << "row " << i;
    EXPECT_NE(run.err.find(kCaption), std::string::npos) << "row " << i << ": " << run.err;
    EXPECT_NE(run.err.find(rows[i].named), std::string::npos) << "row " << i << ": " << run.err;
  }
}

TEST_F(StartFailureTest, skin_that_does_not_load_is_named_with_its_folder) {
  fs::copy_file(fs::path(ZENT_DIST_DIR) / "CorvFact.so", prog_ / "CorvFact.so");
  WriteTextFile(prog_ / "Corvio.ini", "[361]\r\nDLL=CorvFact.dll\r\n");
  const Outcome run = Start();
  EXPECT_EQ(run.status, 0);
  const std::string box = std::string(kCaption) + "\xe6\x97\xa0\xe6\xb3\x95";  // "无法"
  EXPECT_NE(run.err.find(box), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("zentPorter.xml"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(WindowsForm(prog_)), std::string::npos) << run.err;
}

}  // namespace
