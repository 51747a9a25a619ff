// The loader's path helpers: absolute paths, directory parts and their cut rules, trimmed
// profile values, the library path, the redirection chain and the program directory.
#include "components/loader_paths.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "tests/components/loader_test_support.h"

namespace {

using loader_test::TempDir;
using loader_test::WindowsForm;
using loader_test::WriteTextFile;
namespace fs = std::filesystem;

bool DoubleByteCodePage() { return IsDBCSLeadByte(0x95) != 0; }

TEST(IsAbsolutePath, colon_anywhere_or_leading_backslash) {
  struct Row {
    const char* path;
    bool absolute;
  };
  const Row rows[] = {
      {"C:\\Games\\CorvFact.dll", true}, {"\\opt\\zent\\CorvFact.dll", true},
      {"\\\\server\\share", true},       {"sub\\file:stream", true},
      {"C:", true},                      {"/opt/zent/CorvFact.dll", false},
      {"bin\\CorvFact.dll", false},      {"CorvFact.dll", false},
      {"", false},                       {".\\x", false},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    EXPECT_EQ(IsAbsolutePath(rows[i].path), rows[i].absolute) << "row " << i;
  }
  EXPECT_FALSE(IsAbsolutePath(nullptr));
}

TEST(DirectoryPart, backslash_wins_then_slash_then_whole_path_and_backslash) {
  struct Row {
    const char* path;
    const char* expected;
  };
  const Row rows[] = {
      {"C:\\Games\\Zent\\Corvio.ini", "C:\\Games\\Zent\\"},
      {"C:\\Games/Zent/Corvio.ini", "C:\\"},  // a backslash anywhere beats later slashes
      {"Games/Zent/Corvio.ini", "Games/Zent/"},
      {"Corvio.ini", "Corvio.ini\\"},
      {"\\Corvio.ini", "\\"},
      {"dir\\", "dir\\"},
      {"", "\\"},
      {"/", "/"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    LoaderPath out;
    memset(out, '#', sizeof out);
    DirectoryPart(rows[i].path, out);
    EXPECT_STREQ(out, rows[i].expected) << "row " << i;
  }
}

TEST(DirectoryPart, prefix_that_does_not_fit_leaves_the_output_empty) {
  struct Row {
    int separatorAt;  // index of the last backslash, -1 for none
    int length;
    std::string expected;
  };
  const Row rows[] = {
      {258, 270, std::string(258, 'a') + "\\"},  // 259 characters: fits
      {259, 270, ""},                           // 260 characters: does not
      {-1, 258, std::string(258, 'a') + "\\"},
      {-1, 259, std::string(259, 'a')},  // the path fits, the backslash no longer
      {-1, 300, "\\"},                   // only the appended part follows
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    std::string path(rows[i].length, 'a');
    if (rows[i].separatorAt >= 0) path[rows[i].separatorAt] = '\\';
    LoaderPath out;
    DirectoryPart(path.c_str(), out);
    EXPECT_EQ(std::string(out), rows[i].expected) << "row " << i;
  }
}

TEST(DirectoryPart, trail_byte_equal_to_backslash_is_no_separator) {
  if (!DoubleByteCodePage()) GTEST_SKIP() << "the ANSI code page is not double-byte";
  LoaderPath out;
  DirectoryPart("C:\\Zent\\\x95\x5C.ini", out);  // the second byte of 0x95 0x5C
  EXPECT_STREQ(out, "C:\\Zent\\");
  DirectoryPart("\x95\x5C/a.ini", out);
  EXPECT_STREQ(out, "\x95\x5C/");
}

TEST(FindLastChar, steps_over_double_byte_characters) {
  const char text[] = "a\\b\\c";
  EXPECT_EQ(FindLastChar(text, '\\'), text + 3);
  EXPECT_EQ(FindFirstChar(text, '\\'), text + 1);
  EXPECT_EQ(FindLastChar(text, ':'), nullptr);
  if (!DoubleByteCodePage()) GTEST_SKIP() << "the ANSI code page is not double-byte";
  const char gbk[] = "a\\\x95\x5C";
  EXPECT_EQ(FindLastChar(gbk, '\\'), gbk + 1);
  const char only[] = "\x95\x5C";
  EXPECT_EQ(FindFirstChar(only, '\\'), nullptr);
}

// Each case writes its own Corvio.ini in a fresh directory.
class ConfigFiles : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.ok()); }
  std::string Write(const std::string& name, const std::string& text) {
    WriteTextFile(dir_.path() / name, text);
    return Win(name);
  }
  std::string Win(const std::string& name) const { return WindowsForm(dir_.path() / name); }
  std::string Dir() const { return WindowsForm(dir_.path()) + "\\"; }

 private:
  TempDir dir_{"paths"};
};

TEST_F(ConfigFiles, read_trimmed_string_keeps_only_values_shorter_than_the_output) {
  struct Row {
    const char* line;  // the line under [361], or nullptr for no key
    int size;
    std::string expected;
  };
  const Row rows[] = {
      {"V=1", 10, "1"},
      {"V=\" \t1\t \"", 10, "1"},
      {"V=\" a b \"", 10, "a b"},  // blanks inside stay
      {"V=123456789", 10, "123456789"},
      {"V=1234567890", 10, ""},  // ten characters do not fit in ten bytes
      {"V=\"\t\t\"", 10, ""},
      {nullptr, 10, "0"},  // the default
      {"V=xyz", 1, ""},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const std::string file =
        Write("t.ini", std::string("[361]\n") + (rows[i].line ? rows[i].line : "") + "\n");
    char out[16];
    memset(out, '#', sizeof out);
    ReadTrimmedString(file.c_str(), "361", "V", "0", out, rows[i].size);
    EXPECT_EQ(std::string(out), rows[i].expected) << "row " << i;
  }
}

TEST_F(ConfigFiles, read_trimmed_string_of_a_missing_file_gives_the_default) {
  char out[260];
  ReadTrimmedString(Win("absent.ini").c_str(), "361", "DLL", "", out, sizeof out);
  EXPECT_STREQ(out, "");
  ReadTrimmedString(Win("absent.ini").c_str(), "361", "NotUseDefaultDllPath", "0", out, 10);
  EXPECT_STREQ(out, "0");
}

TEST_F(ConfigFiles, build_library_path_follows_not_use_default_and_dll_path) {
  const std::string longDir = "C:\\" + std::string(250, 'd');
  struct Row {
    std::string ini;
    const char* dll;
    std::string expected;  // "<dir>" stands for the config file's directory
  };
  const Row rows[] = {
      {"", "CorvFact.dll", "<dir>CorvFact.dll"},
      {"[361]\nNotUseDefaultDllPath=1\n[DefaultValue]\nDllPath=bin\n", "CorvFact.dll",
       "<dir>CorvFact.dll"},
      {"[361]\nNotUseDefaultDllPath=123456789\n[DefaultValue]\nDllPath=bin\n", "CorvFact.dll",
       "<dir>CorvFact.dll"},
      {"[361]\nNotUseDefaultDllPath=1234567890\n[DefaultValue]\nDllPath=bin\n", "CorvFact.dll",
       "<dir>bin\\CorvFact.dll"},
      {"[361]\nNotUseDefaultDllPath=0\n[DefaultValue]\nDllPath=bin\n", "CorvFact.dll",
       "<dir>bin\\CorvFact.dll"},
      {"[DefaultValue]\nDllPath=bin\n", "CorvFact.dll", "<dir>bin\\CorvFact.dll"},
      {"[DefaultValue]\nDllPath=D:\\Libs\n", "CorvFact.dll", "D:\\Libs\\CorvFact.dll"},
      {"[DefaultValue]\nDllPath=\\\\srv\\libs\n", "CorvFact.dll", "\\\\srv\\libs\\CorvFact.dll"},
      {"[DefaultValue]\nDllPath=\" \t \"\n", "CorvFact.dll", "<dir>CorvFact.dll"},
      {"", "", "<dir>"},  // no DLL value: a directory, which will not load
      // The DLL name no longer fits after the long folder and its backslash: left out.
      {"[DefaultValue]\nDllPath=" + longDir + "\n", "CorvFact.dll", longDir + "\\"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const std::string file = Write("Corvio.ini", rows[i].ini);
    std::string expected = rows[i].expected;
    if (expected.compare(0, 5, "<dir>") == 0) expected = Dir() + expected.substr(5);
    LoaderPath out;
    BuildLibraryPath(file.c_str(), rows[i].dll, out);
    EXPECT_EQ(std::string(out), expected) << "row " << i;
  }
}

TEST_F(ConfigFiles, resolve_config_file_without_redirection_is_the_file_itself) {
  const std::string rows[] = {"", "[Redirect]\nPath=\n", "[Redirect]\nPath=\"  \t\"\n",
                              "[Other]\nPath=x.ini\n"};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const std::string file = Write("Corvio.ini", rows[i]);
    LoaderPath out;
    ResolveConfigFile(file.c_str(), out);
    EXPECT_EQ(std::string(out), file) << "row " << i;
  }
  LoaderPath out;
  ResolveConfigFile(Win("absent.ini").c_str(), out);
  EXPECT_EQ(std::string(out), Win("absent.ini"));
}

TEST_F(ConfigFiles, relative_redirection_is_not_examined_further) {
  Write("sub/next.ini", "[Redirect]\nPath=" + Win("third.ini") + "\n");
  const std::string file = Write("Corvio.ini", "[Redirect]\nPath=sub\\next.ini\n");
  LoaderPath out;
  ResolveConfigFile(file.c_str(), out);
  EXPECT_EQ(std::string(out), Dir() + "sub\\next.ini");
}

TEST_F(ConfigFiles, absolute_redirections_are_followed_up_to_the_limit) {
  struct Row {
    int chain;     // files F1..Fchain follow Corvio.ini, each redirecting to the next
    int expected;  // index of the file in force (0 is Corvio.ini)
  };
  const Row rows[] = {{1, 1}, {2, 2}, {kMaxConfigRedirects, kMaxConfigRedirects},
                      {kMaxConfigRedirects + 1, kMaxConfigRedirects},
                      {kMaxConfigRedirects + 5, kMaxConfigRedirects}};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    std::string names[64];
    names[0] = "Corvio.ini";
    for (int k = 1; k <= rows[i].chain; ++k) names[k] = "F" + std::to_string(k) + "-" +
                                                        std::to_string(i) + ".ini";
    for (int k = 0; k <= rows[i].chain; ++k) {
      const std::string next = k < rows[i].chain ? "[Redirect]\nPath=" + Win(names[k + 1]) + "\n" : "";
      Write(names[k], next);
    }
    LoaderPath out;
    ResolveConfigFile(Win(names[0]).c_str(), out);
    EXPECT_EQ(std::string(out), Win(names[rows[i].expected])) << "row " << i;
  }
}

TEST_F(ConfigFiles, redirection_to_itself_stops_at_that_file) {
  const std::string self = Win("Self.ini");
  Write("Self.ini", "[Redirect]\nPath=" + self + "\n");
  const std::string file = Write("Corvio.ini", "[Redirect]\nPath=" + self + "\n");
  LoaderPath out;
  ResolveConfigFile(file.c_str(), out);
  EXPECT_EQ(std::string(out), self);
}

TEST_F(ConfigFiles, relative_redirection_after_a_backslash_and_slashes) {
  Write("a/b/Corvio.ini", "[Redirect]\nPath=conf\\x.ini\n");
  // Slashes after the directory's own backslashes: the last backslash decides.
  const std::string mixed = Dir() + "a/b/Corvio.ini";
  LoaderPath out;
  ResolveConfigFile(mixed.c_str(), out);
  EXPECT_EQ(std::string(out), Dir() + "conf\\x.ini");
}

TEST_F(ConfigFiles, too_long_a_config_name_resolves_to_nothing) {
  const std::string tooLong = Dir() + std::string(300, 'n') + ".ini";
  LoaderPath out;
  ResolveConfigFile(tooLong.c_str(), out);
  EXPECT_STREQ(out, "");
}

TEST(ProgramDirectory, is_the_program_folder_without_trailing_backslash_computed_once) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string expected(path);
  expected = expected.substr(0, expected.rfind('\\'));
  const char* first = ProgramDirectory();
  EXPECT_EQ(std::string(first), expected);
  EXPECT_NE(std::string(first).back(), '\\');
  EXPECT_EQ(ProgramDirectory(), first);
}

// The searches step as the code page's CharNextA steps, so they split text exactly as the
// rest of the system does (a lead byte before a byte that cannot trail stands alone).
TEST(FindChar, steps_over_characters_as_the_code_page_does) {
  const char* texts[] = {"a\\b\\c", "\x95\\x\\", "\x81:\\", "\x81/x", "\xfe\x7f/\\", "\x81", ""};
  const char wanted[] = {'\\', ':', '/'};
  for (size_t i = 0; i < sizeof texts / sizeof texts[0]; ++i) {
    for (char c : wanted) {
      const char* first = nullptr;
      const char* last = nullptr;
      for (const char* p = texts[i]; *p; p = CharNextA(p)) {
        if (*p != c) continue;
        if (!first) first = p;
        last = p;
      }
      EXPECT_EQ(FindFirstChar(texts[i], c), first) << "row " << i << " char " << c;
      EXPECT_EQ(FindLastChar(texts[i], c), last) << "row " << i << " char " << c;
    }
  }
}

}  // namespace
