// Tests of the tool's file access: the launcher's first-line reading and safe replacing.
#include "file_io.h"

#include <gtest/gtest.h>
#include <stdio.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace {

class FileIo : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    base_ = "file_io_test_" + std::to_string(random()) + "_";
  }
  void TearDown() override {
    for (const char* name : {"a", "a.tmp", "b"}) remove((base_ + name).c_str());
  }
  std::string Name(const char* name) const { return base_ + name; }
  void Write(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary);
    out << data;
  }
  std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string base_;
};

TEST_F(FileIo, read_first_line_drops_the_line_end_like_text_mode) {
  const struct {
    std::string data;
    const char* line;
    bool tooLong;
  } rows[] = {
      {"", "", false},
      {"abc", "abc", false},
      {"abc\n", "abc", false},
      {"abc\r\ndef\n", "abc", false},
      {"ab\rc\n", "ab\rc", false},
      {"abc\r", "abc\r", false},
      {"\nabc", "", false},
      {"abcde\n", "abcde", false},
      {"abcde\r\n", "abcde", false},
      {"abcdef\n", "abcde", true},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    Write(Name("a"), rows[i].data);
    std::string line = "stale", error;
    bool tooLong = !rows[i].tooLong;
    ASSERT_TRUE(ReadFirstLine(Name("a"), 5, &line, &tooLong, &error)) << "row " << i << ": " << error;
    EXPECT_EQ(line, rows[i].line) << "row " << i;
    EXPECT_EQ(tooLong, rows[i].tooLong) << "row " << i;
  }
}

TEST_F(FileIo, missing_files_give_a_message_naming_them) {
  std::string data, error;
  bool tooLong = false;
  EXPECT_FALSE(ReadFirstLine(Name("b"), 10, &data, &tooLong, &error));
  EXPECT_NE(error.find(Name("b")), std::string::npos) << error;
  error.clear();
  EXPECT_FALSE(ReadWholeFile(Name("b"), 10, &data, &error));
  EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
}

TEST_F(FileIo, read_whole_file_keeps_every_byte_up_to_the_limit) {
  const std::string bytes("a\0b\r\n\x1a\xff", 7);
  Write(Name("a"), bytes);
  std::string data, error;
  ASSERT_TRUE(ReadWholeFile(Name("a"), 7, &data, &error)) << error;
  EXPECT_EQ(data, bytes);
  EXPECT_FALSE(ReadWholeFile(Name("a"), 6, &data, &error));
  EXPECT_TRUE(data.empty());
  EXPECT_NE(error.find("larger than 6"), std::string::npos) << error;
}

TEST_F(FileIo, write_whole_file_replaces_an_existing_file_and_leaves_no_temporary) {
  Write(Name("a"), "old content that is longer");
  std::string error;
  ASSERT_TRUE(WriteWholeFile(Name("a"), std::string("new\n\0", 5), &error)) << error;
  EXPECT_EQ(Read(Name("a")), std::string("new\n\0", 5));
  EXPECT_FALSE(std::ifstream(Name("a.tmp")).good());
}

TEST_F(FileIo, write_whole_file_into_a_missing_folder_fails_with_a_message) {
  std::string error;
  EXPECT_FALSE(WriteWholeFile(Name("no-such-folder/") + "x", "data", &error));
  EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
}

}  // namespace
