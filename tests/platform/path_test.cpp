// Tests of the Windows-form to host path translation.
#include <gtest/gtest.h>

#include <errno.h>
#include <sys/stat.h>

#include <string>

#include "platform/linux/path.h"
#include "tests/platform/core_temp_dir.h"

namespace {

std::string WinForm(const std::string& hostPath) { return PlatformWindowsPath(hostPath); }

TEST(PlatformPath, windows_form_of_host_path_uses_backslashes) {
  EXPECT_EQ(PlatformWindowsPath("/opt/zent/ZentPorter"), "\\opt\\zent\\ZentPorter");
  EXPECT_EQ(PlatformWindowsPath("rel/a"), "rel\\a");
  EXPECT_EQ(PlatformWindowsPath(""), "");
}

TEST(PlatformPath, null_and_empty_give_empty) {
  EXPECT_EQ(PlatformHostPath(nullptr), "");
  EXPECT_EQ(PlatformHostPath(""), "");
}

TEST(PlatformPath, lexical_forms_without_files) {
  struct Row {
    const char* in;
    const char* out;
  } rows[] = {
      {"\\opt\\zent\\ZentPorter.invalid", "/opt/zent/ZentPorter.invalid"},
      {"C:\\nonexistent-zent\\X", "/nonexistent-zent/X"},
      {"c:nonexistent-zent", "nonexistent-zent"},
      {"C:", "."},
      {"\\", "/"},
      {".", "."},
      {".\\nonexistent-zent\\.\\Y", "nonexistent-zent/Y"},
      {"nonexistent-zent\\..\\Z.ini", "Z.ini"},
      {"\\..\\nonexistent-zent", "/nonexistent-zent"},
      {"..\\nonexistent-zent", "../nonexistent-zent"},
      {"nonexistent-zent\\\\Dir\\", "nonexistent-zent/Dir/"},
      {"mixed/nonexistent-zent\\q", "mixed/nonexistent-zent/q"},
  };
  int row = 0;
  for (const Row& r : rows) {
    EXPECT_EQ(PlatformHostPath(r.in), r.out) << "row " << row;
    ++row;
  }
}

TEST(PlatformPath, components_match_without_regard_to_case) {
  CoreTempDir dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_EQ(mkdir((dir.path() + "/Config").c_str(), 0755), 0);
  dir.Write("Config/rudadever.ini", "x");
  const std::string want = dir.path() + "/Config/rudadever.ini";
  EXPECT_EQ(PlatformHostPath((WinForm(dir.path()) + "\\config\\RUDADEVER.INI").c_str()), want);
  EXPECT_EQ(PlatformHostPath("config\\rudadever.ini"), "Config/rudadever.ini");
  EXPECT_EQ(PlatformHostPath(".\\CONFIG\\RudaDever.ini"), "Config/rudadever.ini");
}

TEST(PlatformPath, new_file_keeps_given_case_in_existing_folder) {
  CoreTempDir dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_EQ(mkdir((dir.path() + "/Config").c_str(), 0755), 0);
  EXPECT_EQ(PlatformHostPath("config\\NewFile.TXT"), "Config/NewFile.TXT");
  EXPECT_EQ(PlatformHostPath("missing\\Sub\\F"), "missing/Sub/F");
}

TEST(PlatformPath, exact_name_wins_and_ties_are_stable) {
  CoreTempDir dir;
  ASSERT_TRUE(dir.ok());
  dir.Write("abc", "1");
  dir.Write("ABC", "2");
  dir.Write("aBc", "3");
  EXPECT_EQ(PlatformHostPath("aBc"), "aBc");
  EXPECT_EQ(PlatformHostPath("Abc"), "ABC");  // first in byte order of the matches
}

TEST(PlatformPath, gbk_trail_byte_backslash_is_part_of_name) {
  CoreTempDir dir;
  ASSERT_TRUE(dir.ok());
  // "\x95\x5c" is one GBK character whose second byte equals a backslash.
  const std::string name = "\x95\x5c.ini";
  dir.Write(name, "x");
  EXPECT_EQ(PlatformHostPath(name.c_str()), name);
  EXPECT_EQ(PlatformHostPath((".\\" + name).c_str()), name);
}

TEST(PlatformPath, utf8_folder_before_backslash_still_resolves) {
  CoreTempDir dir;
  ASSERT_TRUE(dir.ok());
  // UTF-8 text for a Chinese folder name, whose last byte reads as a GBK lead byte.
  const std::string folder = "\xe6\xb8\xb8";
  ASSERT_EQ(mkdir((dir.path() + "/" + folder).c_str(), 0755), 0);
  dir.Write(folder + "/a.ini", "x");
  EXPECT_EQ(PlatformHostPath((folder + "\\A.INI").c_str()), folder + "/a.ini");
}

TEST(PlatformPath, gbk_trail_letters_are_not_folded) {
  EXPECT_TRUE(PlatformNamesEqual("Corvio.INI", "corvio.ini"));
  EXPECT_FALSE(PlatformNamesEqual("\x81\x61", "\x81\x41"));
  EXPECT_TRUE(PlatformNamesEqual("\x81\x61z", "\x81\x61Z"));
  EXPECT_FALSE(PlatformNamesEqual("ab", "abc"));
}

TEST(PlatformPath, base_name_and_separator_tests) {
  EXPECT_EQ(PlatformBaseName("\\opt\\zent\\CorvFact.dll"), "CorvFact.dll");
  EXPECT_EQ(PlatformBaseName("a/b"), "b");
  EXPECT_EQ(PlatformBaseName("C:x.dll"), "x.dll");
  EXPECT_EQ(PlatformBaseName("\x95\x5c.dll"), "\x95\x5c.dll");
  EXPECT_TRUE(PlatformPathHasSeparator(".\\t.ini"));
  EXPECT_TRUE(PlatformPathHasSeparator("C:t.ini"));
  EXPECT_FALSE(PlatformPathHasSeparator("t.ini"));
  EXPECT_FALSE(PlatformPathHasSeparator(nullptr));
}

TEST(PlatformPath, missing_file_and_missing_folder_give_different_errors) {
  CoreTempDir dir;
  ASSERT_TRUE(dir.ok());
  EXPECT_EQ(PlatformErrorFromErrno(ENOENT, dir.path() + "/nofile"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(PlatformErrorFromErrno(ENOENT, dir.path() + "/nodir/nofile"), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(PlatformErrorFromErrno(ENOENT, "nofile"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(PlatformErrorFromErrno(EACCES, "x"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(PlatformErrorFromErrno(EEXIST, "x"), ERROR_ALREADY_EXISTS);
}

}  // namespace
