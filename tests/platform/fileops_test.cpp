// Tests of MoveFileExA, DeleteFileA, CreateDirectoryA and GetFileAttributesA; the same
// cases run against the real calls in the Windows build.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "tests/platform/core_temp_dir.h"
#include "tests/platform/wine.h"

namespace {

// One call on a path: what it gives and the error it leaves (0: not checked).
struct CallRow {
  const char* path;
  BOOL want;
  DWORD wantError;
};

class PlatformFileOps : public ::testing::Test {
 protected:
  CoreTempDir dir_;
  void SetUp() override { ASSERT_TRUE(dir_.ok()); }

  // Makes the rows' calls in order.
  static void CheckCalls(const std::vector<CallRow>& rows, BOOL (*call)(const char* path)) {
    for (size_t row = 0; row < rows.size(); ++row) {
      SetLastError(0);
      EXPECT_EQ(call(rows[row].path), rows[row].want) << "row " << row;
      if (rows[row].wantError) {
        EXPECT_EQ(GetLastError(), rows[row].wantError) << "row " << row;
      }
    }
  }
};

TEST_F(PlatformFileOps, move_without_replace_refuses_an_existing_target) {
  dir_.Write("a.tmp", "new");
  dir_.Write("b.xml", "old");
  SetLastError(0);
  EXPECT_FALSE(MoveFileExA(".\\a.tmp", ".\\b.xml", 0));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(dir_.Read("a.tmp"), "new");
  EXPECT_EQ(dir_.Read("b.xml"), "old");
}

TEST_F(PlatformFileOps, move_with_replace_takes_the_targets_place) {
  dir_.Write("a.tmp", "new");
  dir_.Write("b.xml", "old");
  EXPECT_TRUE(MoveFileExA(".\\a.tmp", ".\\B.XML", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(dir_.Read("b.xml"), "new");
  EXPECT_FALSE(dir_.Exists("a.tmp"));
}

TEST_F(PlatformFileOps, move_to_a_new_name_and_missing_source) {
  dir_.Write("a.tmp", "x");
  EXPECT_TRUE(MoveFileExA(".\\a.tmp", ".\\c.xml", 0));
  EXPECT_EQ(dir_.Read("c.xml"), "x");
  SetLastError(0);
  EXPECT_FALSE(MoveFileExA(".\\a.tmp", ".\\d.xml", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(PlatformFileOps, move_that_changes_only_case_renames) {
  if (RunningUnderWine()) {
    GTEST_SKIP() << "Wine keeps the old spelling when a move changes only the case";
  }
  dir_.Write("name.txt", "x");
  EXPECT_TRUE(MoveFileExA(".\\name.txt", ".\\NAME.TXT", 0));
  bool found = false;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    found = found || entry.path().filename().string() == "NAME.TXT";
  }
  EXPECT_TRUE(found);
}

TEST_F(PlatformFileOps, delete_rows) {
  dir_.Write("f.txt", "x");
  std::filesystem::create_directory(std::filesystem::path(dir_.path()) / "sub");
  CheckCalls({{".\\F.TXT", TRUE, 0},
              {".\\f.txt", FALSE, ERROR_FILE_NOT_FOUND},
              {".\\sub", FALSE, ERROR_ACCESS_DENIED},
              {".\\nofolder\\f.txt", FALSE, ERROR_PATH_NOT_FOUND}},
             [](const char* path) { return DeleteFileA(path); });
  EXPECT_FALSE(dir_.Exists("f.txt"));
  EXPECT_TRUE(dir_.Exists("sub"));
}

TEST_F(PlatformFileOps, create_directory_rows) {
  CheckCalls({{".\\Config", TRUE, 0},
              {".\\Config", FALSE, ERROR_ALREADY_EXISTS},
              {".\\CONFIG", FALSE, ERROR_ALREADY_EXISTS},
              {".\\config\\Sub", TRUE, 0},
              {".\\missing\\Sub", FALSE, ERROR_PATH_NOT_FOUND}},
             [](const char* path) { return CreateDirectoryA(path, nullptr); });
  EXPECT_TRUE(dir_.Exists("Config/Sub"));
}

TEST_F(PlatformFileOps, file_attributes_tell_folders_files_and_missing_names) {
  dir_.Write("f.txt", "x");
  std::filesystem::create_directory(std::filesystem::path(dir_.path()) / "Sub");
  const DWORD folder = GetFileAttributesA(".\\sub");
  ASSERT_NE(folder, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(folder & FILE_ATTRIBUTE_DIRECTORY);
  const DWORD file = GetFileAttributesA(".\\F.txt");
  ASSERT_NE(file, INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(file & FILE_ATTRIBUTE_DIRECTORY);
  SetLastError(0);
  EXPECT_EQ(GetFileAttributesA(".\\none.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesA(".\\nofolder\\none.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

}  // namespace
