// Tests of SetCurrentDirectoryA and GetCurrentDirectoryA; the same cases run against
// the real calls in the Windows build.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/win32.h"
#include "tests/platform/core_temp_dir.h"

namespace {

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string CurrentDirectory() {
  char buffer[4096];
  const DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
  return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

class PlatformDirectory : public ::testing::Test {
 protected:
  CoreTempDir dir_;
  void SetUp() override { ASSERT_TRUE(dir_.ok()); }
};

TEST_F(PlatformDirectory, current_directory_is_in_windows_form) {
  const std::string current = CurrentDirectory();
  ASSERT_FALSE(current.empty());
  EXPECT_EQ(current.find('/'), std::string::npos) << current;
  const std::string tail = "\\" + std::filesystem::path(dir_.path()).filename().string();
  ASSERT_GE(current.size(), tail.size());
  EXPECT_EQ(current.substr(current.size() - tail.size()), tail);
}

TEST_F(PlatformDirectory, change_of_directory_matches_names_without_regard_to_case) {
  std::filesystem::create_directories(std::filesystem::path(dir_.path()) / "Config" / "Sub");
  const std::string before = Lower(CurrentDirectory());
  ASSERT_TRUE(SetCurrentDirectoryA(".\\config\\SUB"));
  const std::string current = Lower(CurrentDirectory());
  EXPECT_EQ(current, before + "\\config\\sub");
  ASSERT_TRUE(SetCurrentDirectoryA("..\\.."));
  EXPECT_EQ(Lower(CurrentDirectory()), before);
}

TEST_F(PlatformDirectory, missing_directory_fails_and_keeps_the_current_one) {
  const std::string before = CurrentDirectory();
  SetLastError(0);
  EXPECT_FALSE(SetCurrentDirectoryA(".\\nonexistent"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(SetCurrentDirectoryA(".\\nonexistent\\deeper"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(CurrentDirectory(), before);
}

TEST_F(PlatformDirectory, buffer_too_small_gets_nothing_and_the_size_needed) {
  const std::string current = CurrentDirectory();
  const DWORD len = static_cast<DWORD>(current.size());
  struct Row {
    DWORD size;
    DWORD want;
    bool written;
  } rows[] = {{0, len + 1, false}, {1, len + 1, false}, {len, len + 1, false},
              {len + 1, len, true}, {len + 50, len, true}};
  int row = 0;
  for (const Row& r : rows) {
    std::string buffer(len + 100, 'X');
    EXPECT_EQ(GetCurrentDirectoryA(r.size, &buffer[0]), r.want) << "row " << row;
    if (r.written) {
      EXPECT_EQ(std::string(buffer.c_str()), current) << "row " << row;
    } else {
      EXPECT_EQ(buffer[0], 'X') << "row " << row;
    }
    ++row;
  }
  EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), len + 1);
}

}  // namespace
