// The process entry: argv (UTF-8) turned back into the Windows command line (GBK) that
// WinMain gets, and the split of that line by the Windows rules giving every argument
// back unchanged.
#include <gtest/gtest.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/linux/codepage.h"
#include "platform/linux/command_line.h"
#include "tests/platform/core_temp_dir.h"

extern char** environ;

namespace {

struct QuoteCase {
  std::vector<std::string> args;
  const char* commandLine;
};

const QuoteCase kCases[] = {
    {{}, ""},
    {{"a"}, "a"},
    {{"a", "b"}, "a b"},
    {{"a b"}, "\"a b\""},
    {{""}, "\"\""},
    {{"a\"b"}, "\"a\\\"b\""},
    {{"a\\b"}, "a\\b"},
    {{"a\\"}, "a\\"},
    {{"a b\\"}, "\"a b\\\\\""},
    {{"a\\\"b"}, "\"a\\\\\\\"b\""},
    {{"tab\there"}, "\"tab\there\""},
    {{" lead", "trail "}, "\" lead\" \"trail \""},
    {{"^&|%PATH%"}, "^&|%PATH%"},
    {{"\xb4\xf3\xc7\xf8"}, "\xb4\xf3\xc7\xf8"},
    {{"-server", "1.2.3.4:5000", "x y"}, "-server 1.2.3.4:5000 \"x y\""},
};

std::string Quote(const std::vector<std::string>& args) {
  std::string line;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i) line += ' ';
    PlatformAppendQuotedArgument(line, args[i].c_str());
  }
  return line;
}

TEST(EntryQuoting, arguments_are_quoted_only_where_they_need_it) {
  for (size_t row = 0; row < sizeof kCases / sizeof kCases[0]; ++row) {
    EXPECT_EQ(Quote(kCases[row].args), kCases[row].commandLine) << "row " << row;
  }
}

TEST(EntryQuoting, splitting_the_quoted_line_gives_the_arguments_back) {
  for (size_t row = 0; row < sizeof kCases / sizeof kCases[0]; ++row) {
    EXPECT_EQ(PlatformSplitCommandLine(Quote(kCases[row].args).c_str()), kCases[row].args)
        << "row " << row;
  }
  const char* hard[] = {"\\\\\"\\", "\"\"\"", "\\", "a\\\\", " \\\" ", "\t"};
  for (size_t row = 0; row < sizeof hard / sizeof hard[0]; ++row) {
    std::vector<std::string> args = {hard[row], "next"};
    EXPECT_EQ(PlatformSplitCommandLine(Quote(args).c_str()), args) << "hard row " << row;
  }
}

TEST(EntrySplit, null_and_blank_text_give_no_arguments) {
  EXPECT_TRUE(PlatformSplitCommandLine(nullptr).empty());
  EXPECT_TRUE(PlatformSplitCommandLine("").empty());
  EXPECT_TRUE(PlatformSplitCommandLine(" \t ").empty());
}

class EntryProgram : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.ok()); }
  // Runs the program with `args` and returns what its WinMain was handed; false when it
  // did not end with 0.
  bool Run(const std::vector<std::string>& args, std::string* commandLine) {
    std::vector<std::string> all = {ZENT_ENTRY_ECHO};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    std::string env = "ZENT_CMDLINE_FILE=" + file_;
    std::vector<char*> envp = {&env[0], nullptr};
    pid_t pid;
    if (posix_spawn(&pid, ZENT_ENTRY_ECHO, nullptr, nullptr, argv.data(), envp.data()) != 0) return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
    std::ifstream in(file_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    *commandLine = text.str();
    return true;
  }
  CoreTempDir dir_;
  const std::string file_ = dir_.path() + "/cmdline";
};

TEST_F(EntryProgram, win_main_gets_the_rebuilt_command_line) {
  for (size_t row = 0; row < sizeof kCases / sizeof kCases[0]; ++row) {
    // The table's arguments are GBK, as WinMain sees them; a Linux program gets UTF-8.
    std::vector<std::string> utf8Args;
    for (const std::string& arg : kCases[row].args) {
      utf8Args.emplace_back();
      ASSERT_TRUE(PlatformAnsiToUtf8(arg, &utf8Args.back())) << "row " << row;
    }
    std::string commandLine;
    ASSERT_TRUE(Run(utf8Args, &commandLine)) << "row " << row;
    EXPECT_EQ(commandLine, kCases[row].commandLine) << "row " << row;
    EXPECT_EQ(PlatformSplitCommandLine(commandLine.c_str()), kCases[row].args) << "row " << row;
  }
}

TEST_F(EntryProgram, argument_that_gbk_cannot_hold_stops_the_start) {
  std::string commandLine;
  EXPECT_FALSE(Run({"ok", "\xf0\x9f\x98\x80"}, &commandLine));  // an emoji
  EXPECT_FALSE(Run({"\xb4\xf3"}, &commandLine));                // GBK bytes: not UTF-8
}

}  // namespace
