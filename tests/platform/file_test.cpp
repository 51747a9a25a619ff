// Tests of PlatformOpenFile: Windows-form paths and the C runtime's text mode; the same
// cases run against the real runtime in the Windows build.
#include <gtest/gtest.h>

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <filesystem>
#include <string>

#include "platform/win32.h"
#include "tests/platform/core_temp_dir.h"

namespace {

std::string ReadAll(FILE* f) {
  std::string out;
  char chunk[1000];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) out.append(chunk, n);
  return out;
}

class PlatformFile : public ::testing::Test {
 protected:
  CoreTempDir dir_;
  void SetUp() override { ASSERT_TRUE(dir_.ok()); }

  std::string ReadText(const std::string& bytes, const char* mode = "r") {
    dir_.Write("f.txt", bytes);
    FILE* f = PlatformOpenFile(".\\f.txt", mode);
    if (!f) return "<open failed>";
    const std::string text = ReadAll(f);
    fclose(f);
    return text;
  }
  // Opens `name` with `mode`, lets `write` write through the stream, closes it and gives
  // the bytes on disk.
  std::string Written(const std::string& name, const char* mode, void (*write)(FILE*)) {
    FILE* f = PlatformOpenFile((".\\" + name).c_str(), mode);
    if (!f) return "<open failed>";
    write(f);
    fclose(f);
    return dir_.Read(name);
  }
};

TEST_F(PlatformFile, text_mode_reading_rows) {
  struct Row {
    std::string bytes;
    std::string want;
  } rows[] = {
      {"a\r\nb\r\n", "a\nb\n"},
      {"a\nb", "a\nb"},
      {"lone\rcr", "lone\rcr"},
      {"a\r\r\nb", "a\r\nb"},
      {"end\r", "end\r"},
      {"a\x1a" "hidden", "a"},
      {"\x1a", ""},
      {std::string("nul\0byte\r\n", 10), std::string("nul\0byte\n", 9)},
      {"\xb4\xf3\xc7\xf8\r\n", "\xb4\xf3\xc7\xf8\n"},  // GBK text passes unchanged
      {"", ""},
  };
  int row = 0;
  for (const Row& r : rows) {
    EXPECT_EQ(ReadText(r.bytes), r.want) << "row " << row;
    ++row;
  }
}

TEST_F(PlatformFile, binary_mode_reads_bytes_unchanged) {
  const std::string bytes("a\r\nb\rc\x1a" "d", 8);
  EXPECT_EQ(ReadText(bytes, "rb"), bytes);
  EXPECT_EQ(ReadText(bytes, "rt"), "a\nb\rc");
}

TEST_F(PlatformFile, cr_lf_split_across_the_read_ahead_is_joined) {
  // A CR LF pair that straddles every likely buffer size still reads as one LF.
  for (size_t before : {4095u, 4096u, 8191u, 511u}) {
    const std::string bytes = std::string(before, 'x') + "\r\ny";
    const std::string want = std::string(before, 'x') + "\ny";
    EXPECT_EQ(ReadText(bytes), want) << "CR at " << before;
  }
}

TEST_F(PlatformFile, fgets_reads_lines_and_stops_at_size) {
  dir_.Write("f.txt", "first line\r\nsecond\r\nlast");
  FILE* f = PlatformOpenFile(".\\f.txt", "r");
  ASSERT_NE(f, nullptr);
  char line[8];
  ASSERT_NE(fgets(line, sizeof line, f), nullptr);
  EXPECT_STREQ(line, "first l");
  ASSERT_NE(fgets(line, sizeof line, f), nullptr);
  EXPECT_STREQ(line, "ine\n");
  ASSERT_NE(fgets(line, sizeof line, f), nullptr);
  EXPECT_STREQ(line, "second\n");
  ASSERT_NE(fgets(line, sizeof line, f), nullptr);
  EXPECT_STREQ(line, "last");
  EXPECT_EQ(fgets(line, sizeof line, f), nullptr);
  fclose(f);
}

TEST_F(PlatformFile, long_line_reads_whole) {
  const std::string longLine(100000, 'q');
  dir_.Write("f.txt", longLine + "\r\nnext");
  FILE* f = PlatformOpenFile(".\\f.txt", "r");
  ASSERT_NE(f, nullptr);
  std::string buffer(100010, '\0');
  ASSERT_NE(fgets(&buffer[0], static_cast<int>(buffer.size()), f), nullptr);
  EXPECT_EQ(std::string(buffer.c_str()), longLine + "\n");
  fclose(f);
}

TEST_F(PlatformFile, text_mode_writing_turns_lf_into_cr_lf) {
  EXPECT_EQ(Written("w.txt", "w",
                    [](FILE* f) {
                      fputs("one\ntwo\n", f);
                      fprintf(f, "%s\n", "three");
                      fputs("no end", f);
                    }),
            "one\r\ntwo\r\nthree\r\nno end");
}

TEST_F(PlatformFile, binary_writing_keeps_bytes) {
  EXPECT_EQ(Written("w.bin", "wb", [](FILE* f) { fputs("one\ntwo\r\n", f); }), "one\ntwo\r\n");
}

TEST_F(PlatformFile, append_adds_converted_lines) {
  dir_.Write("a.txt", "x\r\n");
  EXPECT_EQ(Written("a.txt", "a", [](FILE* f) { fputs("y\n", f); }), "x\r\ny\r\n");
}

TEST_F(PlatformFile, write_then_read_back_in_update_mode) {
  FILE* f = PlatformOpenFile(".\\u.txt", "w+");
  ASSERT_NE(f, nullptr);
  fputs("a\nb\n", f);
  ASSERT_EQ(fseek(f, 0, SEEK_SET), 0);
  EXPECT_EQ(ReadAll(f), "a\nb\n");
  fclose(f);
  EXPECT_EQ(dir_.Read("u.txt"), "a\r\nb\r\n");
}

TEST_F(PlatformFile, path_components_match_without_regard_to_case) {
  std::filesystem::create_directory(std::filesystem::path(dir_.path()) / "Config");
  dir_.Write("Config/zentxmlwtz.htm", "line\r\n");
  FILE* f = PlatformOpenFile("config\\ZENTXMLWTZ.HTM", "r");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(ReadAll(f), "line\n");
  fclose(f);
  FILE* created = PlatformOpenFile("CONFIG\\New.Txt", "w");
  ASSERT_NE(created, nullptr);
  fclose(created);
  EXPECT_TRUE(dir_.Exists("Config/New.Txt"));
}

TEST_F(PlatformFile, folder_opened_as_a_file_is_refused) {
  std::filesystem::create_directory(std::filesystem::path(dir_.path()) / "rudadever.htm");
  const char* modes[] = {"r", "rb", "rt", "r+", "w", "a"};
  int row = 0;
  for (const char* mode : modes) {
    errno = 0;
    SetLastError(0);
    FILE* f = PlatformOpenFile(".\\rudadever.htm", mode);
    EXPECT_EQ(f, nullptr) << "row " << row;
    if (f) fclose(f);
    EXPECT_EQ(errno, EACCES) << "row " << row;
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED) << "row " << row;
    ++row;
  }
}

TEST_F(PlatformFile, missing_file_and_bad_arguments_fail) {
  errno = 0;
  EXPECT_EQ(PlatformOpenFile(".\\missing.txt", "r"), nullptr);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(PlatformOpenFile(".\\nofolder\\x.txt", "w"), nullptr);
  EXPECT_EQ(PlatformOpenFile(nullptr, "r"), nullptr);
  EXPECT_EQ(PlatformOpenFile(".\\x.txt", nullptr), nullptr);
}

}  // namespace
