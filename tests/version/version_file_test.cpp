// ReadVersionText and the paths of the program directory: the version file's first line,
// cut to 15 characters, the message with the fallback text when it cannot be read, and
// paths that do not fit.
#include <gtest/gtest.h>

#include <string.h>

#include "tests/app/program_dir_fixture.h"
#include "version/version_file.h"

namespace {

const char kVersionError[] = "Version\xce\xc4\xbc\xfe\xb4\xed\xce\xf3!";  // "Version文件错误!"

class VersionFileTest : public ProgramDirTest {};

TEST_F(VersionFileTest, first_line_is_shown_after_a_v) {
  struct Row {
    const char* content;
    const char* expected;
  } rows[] = {
      {"2.1.3\r\n", "V2.1.3\n"},                     // text mode: CR LF reads as LF
      {"2.1.3\n4.5.6\n", "V2.1.3\n"},
      {"2.1.3", "V2.1.3"},
      {"12345678901234567890", "V123456789012345"},  // 20 characters: the first 15
      {"123456789012345\n", "V123456789012345"},     // the line feed falls beyond 15
      {"12345678901234\n", "V12345678901234\n"},
      {"", "V"},
  };
  auto launcher = MakeLauncher(false);
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    WriteFile("Config/rudadever.htm", rows[i].content);
    EXPECT_EQ(launcher->ReadVersionText(), rows[i].expected) << "row " << i;
  }
  EXPECT_TRUE(world().hints.empty());
}

TEST_F(VersionFileTest, missing_file_shows_the_message_once_and_falls_back) {
  Remove("Config/rudadever.htm");
  auto launcher = MakeLauncher();  // the set-up reads it too
  EXPECT_EQ(world().texts["Static_version"], "V2.0.0");
  ASSERT_EQ(world().hints.size(), 1u);
  EXPECT_EQ(world().hints[0], kVersionError);
  EXPECT_EQ(launcher->ReadVersionText(), "V2.0.0");
  EXPECT_EQ(world().hints.size(), 2u);
}

TEST_F(VersionFileTest, found_in_lower_case_config_folder_of_the_program_directory) {
  Remove("Config/rudadever.htm");
  WriteFile("Config/RUDADEVER.HTM", "7.0\n");
  auto launcher = MakeLauncher(false);
  EXPECT_EQ(launcher->ReadVersionText(), "V7.0\n");
}

TEST_F(VersionFileTest, program_file_path_must_fit_its_buffer_whole) {
  // The folder, a backslash and the name, with the terminating zero: 260 bytes at most.
  const size_t room = LauncherPathSize - 1 - windowsDir_.size() - 1;
  struct Row {
    size_t nameLength;
    bool fits;
  } rows[] = {{1, true}, {room, true}, {room + 1, false}, {room + 40, false}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const std::string name(rows[i].nameLength, 'f');
    char out[LauncherPathSize];
    memset(out, 'x', sizeof out);
    EXPECT_EQ(ProgramFilePath(name.c_str(), out), rows[i].fits) << "row " << i;
    EXPECT_EQ(std::string(out), rows[i].fits ? windowsDir_ + "\\" + name : "") << "row " << i;
  }
}

}  // namespace
