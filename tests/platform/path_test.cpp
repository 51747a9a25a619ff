// Tests of the translation between Windows-form paths (GBK) and host paths (UTF-8).
#include <gtest/gtest.h>

#include <errno.h>
#include <sys/stat.h>

#include <string>

#include "platform/linux/path.h"
#include "tests/platform/core_temp_dir.h"

namespace {

std::string Host(const char* windowsPath) {
  std::string host;
  return PlatformHostPath("test", windowsPath, &host) ? host : "<failed>";
}
std::string Host(const std::string& windowsPath) { return Host(windowsPath.c_str()); }

std::string WinForm(const std::string& hostPath) {
  std::string windows;
  return PlatformWindowsPath("test", hostPath, &windows) ? windows : "<failed>";
}

// Each test runs in a fresh folder of its own, so relative names meet only its files.
class PlatformPath : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.ok()); }
  CoreTempDir dir;
};

TEST_F(PlatformPath, windows_form_of_host_path_is_gbk_with_backslashes) {
  struct Row {
    const char* host;
    const char* windows;
  } rows[] = {
      {"/opt/zent/ZentPorter", "\\opt\\zent\\ZentPorter"},
      {"rel/a", "rel\\a"},
      {"", ""},
      {"/游戏/启动器/用", "\\\xd3\xce\xcf\xb7\\\xc6\xf4\xb6\xaf\xc6\xf7\\\xd3\xc3"},
      {"/x/\xe2\x82\xac", "\\x\\\x80"},  // the euro sign is one byte in code page 936
  };
  int row = 0;
  for (const Row& r : rows) {
    EXPECT_EQ(WinForm(r.host), r.windows) << "row " << row;
    EXPECT_EQ(Host(r.windows), std::string(r.host).empty() ? "" : r.host) << "row " << row;
    ++row;
  }
}

TEST_F(PlatformPath, names_without_a_form_on_the_other_side_fail) {
  struct Row {
    bool toHost;  // else the other way
    const char* in;
  } rows[] = {
      {false, "/tmp/\xf0\x9f\x98\x80"},  // an emoji: no GBK form
      {false, "/tmp/\xff"},              // not UTF-8
      {true, "\\tmp\\\xff"},           // not GBK
      {true, "\\tmp\\a\x81"},          // a lead byte without its trail byte
  };
  int row = 0;
  for (const Row& r : rows) {
    SetLastError(0);
    EXPECT_EQ(r.toHost ? Host(r.in) : WinForm(r.in), "<failed>") << "row " << row;
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION) << "row " << row;
    ++row;
  }
}

TEST_F(PlatformPath, null_and_empty_give_empty) {
  EXPECT_EQ(Host(nullptr), "");
  EXPECT_EQ(Host(""), "");
}

TEST_F(PlatformPath, lexical_forms_without_files) {
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
    EXPECT_EQ(Host(r.in), r.out) << "row " << row;
    ++row;
  }
}

TEST_F(PlatformPath, components_match_without_regard_to_case) {
  ASSERT_EQ(mkdir((dir.path() + "/Config").c_str(), 0755), 0);
  dir.Write("Config/rudadever.ini", "x");
  const std::string want = dir.path() + "/Config/rudadever.ini";
  EXPECT_EQ(Host(WinForm(dir.path()) + "\\config\\RUDADEVER.INI"), want);
  EXPECT_EQ(Host("config\\rudadever.ini"), "Config/rudadever.ini");
  EXPECT_EQ(Host(".\\CONFIG\\RudaDever.ini"), "Config/rudadever.ini");
}

TEST_F(PlatformPath, new_file_keeps_given_case_in_existing_folder) {
  ASSERT_EQ(mkdir((dir.path() + "/Config").c_str(), 0755), 0);
  EXPECT_EQ(Host("config\\NewFile.TXT"), "Config/NewFile.TXT");
  EXPECT_EQ(Host("missing\\Sub\\F"), "missing/Sub/F");
}

TEST_F(PlatformPath, exact_name_wins_and_ties_are_stable) {
  dir.Write("abc", "1");
  dir.Write("ABC", "2");
  dir.Write("aBc", "3");
  EXPECT_EQ(Host("aBc"), "aBc");
  EXPECT_EQ(Host("Abc"), "ABC");  // first in byte order of the matches
}

TEST_F(PlatformPath, gbk_trail_byte_backslash_is_part_of_the_name) {
  // "\x95\x5c" is one GBK character (U+661E) whose second byte equals a backslash.
  const std::string gbk = "\x95\x5c.ini";
  const std::string onDisk = "\xe6\x98\x9e.ini";
  dir.Write(onDisk, "x");
  EXPECT_EQ(Host(gbk), onDisk);
  EXPECT_EQ(Host(".\\" + gbk), onDisk);
  EXPECT_EQ(Host("\x95\x5c\\A.INI"), "\xe6\x98\x9e/A.INI");
}

TEST_F(PlatformPath, chinese_folder_never_gives_way_to_its_parent) {
  // UTF-8 names whose last byte would be a GBK lead byte swallowing the next backslash.
  const struct {
    const char* utf8;
    const char* gbk;
  } rows[] = {{"启动器", "\xc6\xf4\xb6\xaf\xc6\xf7"}, {"用", "\xd3\xc3"}, {"游戏", "\xd3\xce\xcf\xb7"}};
  dir.Write("Corvio.ini", "parent");
  int row = 0;
  for (const auto& r : rows) {
    ASSERT_EQ(mkdir((dir.path() + "/" + r.utf8).c_str(), 0755), 0);
    dir.Write(std::string(r.utf8) + "/Corvio.ini", "own");
    EXPECT_EQ(Host(WinForm(dir.path()) + "\\" + r.gbk + "\\corvio.INI"), dir.path() + "/" + r.utf8 + "/Corvio.ini")
        << "row " << row;
    EXPECT_EQ(WinForm(dir.path() + "/" + r.utf8), WinForm(dir.path()) + "\\" + r.gbk) << "row " << row;
    ++row;
  }
}

TEST_F(PlatformPath, base_name_and_separator_tests) {
  EXPECT_EQ(PlatformBaseName("\\opt\\zent\\CorvFact.dll"), "CorvFact.dll");
  EXPECT_EQ(PlatformBaseName("a/b"), "b");
  EXPECT_EQ(PlatformBaseName("C:x.dll"), "x.dll");
  EXPECT_EQ(PlatformBaseName("\x95\x5c.dll"), "\x95\x5c.dll");
  EXPECT_TRUE(PlatformPathHasSeparator(".\\t.ini"));
  EXPECT_TRUE(PlatformPathHasSeparator("C:t.ini"));
  EXPECT_FALSE(PlatformPathHasSeparator("t.ini"));
  EXPECT_FALSE(PlatformPathHasSeparator("\x95\x5c.dll"));
  EXPECT_FALSE(PlatformPathHasSeparator(nullptr));
}

TEST_F(PlatformPath, missing_file_and_missing_folder_give_different_errors) {
  EXPECT_EQ(PlatformErrorFromErrno(ENOENT, dir.path() + "/nofile"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(PlatformErrorFromErrno(ENOENT, dir.path() + "/nodir/nofile"), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(PlatformErrorFromErrno(ENOENT, "nofile"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(PlatformErrorFromErrno(EACCES, "x"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(PlatformErrorFromErrno(EEXIST, "x"), ERROR_ALREADY_EXISTS);
}

}  // namespace
