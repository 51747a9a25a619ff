// The bounded string routines: results and side effects for buffers too small, exactly
// fitting and large, null pointers, the count rules, and whole double-byte characters.
#include "components/safe_string.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "platform/win32.h"

namespace {

constexpr char kSentinel = '#';

struct Buffer {
  char bytes[32];
  Buffer() { memset(bytes, kSentinel, sizeof bytes); }
  explicit Buffer(const char* text) : Buffer() { memcpy(bytes, text, strlen(text) + 1); }
  // The first n bytes as a string, NULs included.
  std::string Bytes(int n) const { return std::string(bytes, static_cast<size_t>(n)); }
};

// GBK "大" (B4 F3) and "\" as the trail byte of a double-byte character (95 5C).
const char kBig[] = "\xB4\xF3";

bool DoubleByteCodePage() { return IsDBCSLeadByte(0xB4) != 0; }

int CallVFormat(char* buf, int size, int count, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = SafeVFormat(buf, size, count, format, args);
  va_end(args);
  return result;
}

TEST(SafeStringTable, holds_the_routines_in_their_fixed_order) {
  EXPECT_EQ(g_safeString.VFormat, &SafeVFormat);
  EXPECT_EQ(g_safeString.Append, &SafeAppend);
  EXPECT_EQ(g_safeString.CopyN, &SafeCopyN);
  EXPECT_EQ(g_safeString.Copy, &SafeCopy);
}

TEST(SafeCopy, results_and_buffer_contents_follow_the_table) {
  struct Row {
    int size;
    bool nullDst;
    const char* src;  // nullptr: null source
    int result;
    const char* expected;  // nullptr: buffer unchanged
  };
  const Row rows[] = {
      {0, false, "abc", SafeErange, nullptr},
      {0, true, nullptr, SafeErange, nullptr},  // size 0 is checked first
      {-1, false, "abc", SafeEinval, nullptr},
      {8, true, "abc", SafeEinval, nullptr},
      {8, false, nullptr, SafeEinval, nullptr},
      {3, false, "abc", SafeErange, nullptr},  // the NUL does not fit
      {4, false, "abc", 0, "abc"},             // exactly fitting
      {32, false, "abc", 0, "abc"},
      {1, false, "", 0, ""},
      {31, false, "0123456789012345678901234567890", SafeErange, nullptr},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const Row& row = rows[i];
    Buffer buffer;
    const int result = SafeCopy(row.nullDst ? nullptr : buffer.bytes, row.size, row.src);
    EXPECT_EQ(result, row.result) << "row " << i;
    if (row.expected) {
      EXPECT_STREQ(buffer.bytes, row.expected) << "row " << i;
      EXPECT_EQ(buffer.bytes[strlen(row.expected) + 1], kSentinel) << "row " << i;
    } else {
      EXPECT_EQ(buffer.Bytes(32), Buffer().Bytes(32)) << "row " << i;
    }
  }
}

TEST(SafeCopy, copies_into_a_large_buffer_up_to_its_last_byte) {
  std::string text(1023, 'x');
  char big[1024];
  EXPECT_EQ(SafeCopy(big, sizeof big, text.c_str()), 0);
  EXPECT_EQ(std::string(big), text);
  text += 'y';
  EXPECT_EQ(SafeCopy(big, sizeof big, text.c_str()), SafeErange);
  EXPECT_EQ(std::string(big), std::string(1023, 'x'));
}

TEST(SafeCopy, never_ends_on_half_a_double_byte_character) {
  if (!DoubleByteCodePage()) GTEST_SKIP() << "the ANSI code page is not double-byte";
  Buffer whole;
  EXPECT_EQ(SafeCopy(whole.bytes, 4, (std::string("a") + kBig).c_str()), 0);
  EXPECT_EQ(whole.Bytes(4), std::string("a\xB4\xF3", 3) + '\0');
  Buffer dangling;
  EXPECT_EQ(SafeCopy(dangling.bytes, 8, "ab\xB4"), 0);
  EXPECT_STREQ(dangling.bytes, "ab");
}

TEST(SafeCopyN, copies_count_bytes_with_zeros_past_the_source) {
  struct Row {
    int size;
    bool nullDst;
    const char* src;
    int count;
    int result;
    int checked;           // bytes compared with expected
    const char* expected;  // nullptr: buffer unchanged
  };
  const Row rows[] = {
      {8, false, "abcdef", 3, 0, 5, "abc\0#"},
      {8, false, "ab", 5, 0, 7, "ab\0\0\0\0#"},
      {8, false, "abcdefgh", 7, 0, 9, "abcdefg\0#"},  // count = size - 1 fits exactly
      {8, false, "abcdefgh", 8, SafeEinval, 2, "\0#"},  // too many: dst emptied
      {8, false, "abc", 0, SafeEinval, 0, nullptr},
      {8, false, "abc", -1, SafeEinval, 0, nullptr},
      {0, false, "abc", 1, SafeEinval, 0, nullptr},
      {-5, false, "abc", 1, SafeEinval, 0, nullptr},
      {8, true, "abc", 1, SafeEinval, 0, nullptr},
      {8, false, nullptr, 1, SafeEinval, 0, nullptr},
      {1, false, "abc", 1, SafeEinval, 2, "\0#"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const Row& row = rows[i];
    Buffer buffer;
    const int result =
        SafeCopyN(row.nullDst ? nullptr : buffer.bytes, row.size, row.src, row.count);
    EXPECT_EQ(result, row.result) << "row " << i;
    if (row.expected) {
      EXPECT_EQ(buffer.Bytes(row.checked), std::string(row.expected, row.checked)) << "row " << i;
    } else {
      EXPECT_EQ(buffer.Bytes(32), Buffer().Bytes(32)) << "row " << i;
    }
  }
}

TEST(SafeCopyN, never_ends_on_half_a_double_byte_character) {
  if (!DoubleByteCodePage()) GTEST_SKIP() << "the ANSI code page is not double-byte";
  const std::string src = std::string("a") + kBig + "b";
  Buffer cut;
  EXPECT_EQ(SafeCopyN(cut.bytes, 16, src.c_str(), 2), 0);
  EXPECT_EQ(cut.Bytes(4), std::string("a\0\0#", 4));
  Buffer whole;
  EXPECT_EQ(SafeCopyN(whole.bytes, 16, src.c_str(), 3), 0);
  EXPECT_EQ(whole.Bytes(5), std::string("a\xB4\xF3\0#", 5));
}

TEST(SafeAppend, results_and_buffer_contents_follow_the_table) {
  struct Row {
    const char* initial;
    int size;
    bool nullDst;
    const char* src;
    int result;
    const char* expected;  // nullptr: buffer unchanged
  };
  const Row rows[] = {
      {"ab", 5, false, "cd", 0, "abcd"},  // exactly fitting
      {"ab", 4, false, "cd", SafeErange, nullptr},
      {"ab", 32, false, "cd", 0, "abcd"},
      {"ab", 0, false, "cd", SafeErange, nullptr},
      {"ab", 0, true, nullptr, SafeErange, nullptr},
      {"ab", -1, false, "cd", SafeEinval, nullptr},
      {"ab", 8, true, "cd", SafeEinval, nullptr},
      {"ab", 8, false, nullptr, SafeEinval, nullptr},
      {"", 1, false, "", 0, ""},
      {"", 1, false, "x", SafeErange, nullptr},
      {"abc", 3, false, "", SafeErange, nullptr},  // no terminated text within size
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const Row& row = rows[i];
    Buffer buffer(row.initial);
    const Buffer before(row.initial);
    const int result = SafeAppend(row.nullDst ? nullptr : buffer.bytes, row.size, row.src);
    EXPECT_EQ(result, row.result) << "row " << i;
    if (row.expected) {
      EXPECT_STREQ(buffer.bytes, row.expected) << "row " << i;
    } else {
      EXPECT_EQ(buffer.Bytes(32), before.Bytes(32)) << "row " << i;
    }
  }
}

TEST(SafeAppend, never_ends_on_half_a_double_byte_character) {
  if (!DoubleByteCodePage()) GTEST_SKIP() << "the ANSI code page is not double-byte";
  Buffer buffer("x");
  EXPECT_EQ(SafeAppend(buffer.bytes, 16, (std::string(kBig) + "\xB4").c_str()), 0);
  EXPECT_STREQ(buffer.bytes, "x\xB4\xF3");
}

TEST(SafeVFormat, prints_at_most_n_characters_and_terminates_at_n) {
  struct Row {
    int size;
    int count;
    const char* text;  // formatted with "%s"
    int result;
    const char* expected;
    int terminator;  // index that must hold a NUL
  };
  const Row rows[] = {
      {16, -1, "abc", 3, "abc", 15},
      {16, 15, "abc", 3, "abc", 15},
      {16, 3, "abc", 3, "abc", 3},       // exactly count characters
      {16, 2, "abc", -1, "ab", 2},       // cut at count
      {4, -1, "abc", 3, "abc", 3},       // exactly size - 1 characters
      {4, -1, "abcd", -1, "abc", 3},     // cut at size - 1
      {4, 20, "abcdef", -1, "abc", 3},   // count above size - 1 gives way to the size
      {1, -1, "abc", -1, "", 0},
      {16, 10, "ab", 2, "ab", 10},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const Row& row = rows[i];
    Buffer buffer;
    EXPECT_EQ(CallVFormat(buffer.bytes, row.size, row.count, "%s", row.text), row.result)
        << "row " << i;
    EXPECT_STREQ(buffer.bytes, row.expected) << "row " << i;
    EXPECT_EQ(buffer.bytes[row.terminator], '\0') << "row " << i;
    EXPECT_EQ(buffer.bytes[row.size], kSentinel) << "row " << i << ": wrote past size";
  }
}

TEST(SafeVFormat, refuses_bad_arguments_without_writing) {
  struct Row {
    bool nullBuf;
    int size;
    int count;
    bool nullFormat;
  };
  const Row rows[] = {
      {true, 16, -1, false}, {false, 16, -1, true}, {false, 0, -1, false},
      {false, -3, -1, false}, {false, 16, 0, false}, {false, 16, -2, false},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const Row& row = rows[i];
    Buffer buffer;
    EXPECT_EQ(CallVFormat(row.nullBuf ? nullptr : buffer.bytes, row.size, row.count,
                          row.nullFormat ? nullptr : "%d", 5),
              -1)
        << "row " << i;
    EXPECT_EQ(buffer.Bytes(32), Buffer().Bytes(32)) << "row " << i;
  }
}

TEST(SafeVFormat, cut_output_never_ends_on_half_a_double_byte_character) {
  if (!DoubleByteCodePage()) GTEST_SKIP() << "the ANSI code page is not double-byte";
  Buffer buffer;
  EXPECT_EQ(CallVFormat(buffer.bytes, 16, 2, "a%s", kBig), -1);
  EXPECT_STREQ(buffer.bytes, "a");
}

TEST(SafeFormat, formats_with_the_smaller_of_count_and_size) {
  Buffer buffer;
  EXPECT_EQ(SafeFormat(buffer.bytes, 16, 15, "%s\\%s", "dir", "Corvio.ini"), 14);
  EXPECT_STREQ(buffer.bytes, "dir\\Corvio.ini");
  Buffer small;
  EXPECT_EQ(SafeFormat(small.bytes, 8, 100, "%u", 123456789u), -1);
  EXPECT_STREQ(small.bytes, "1234567");
  Buffer counted;
  EXPECT_EQ(SafeFormat(counted.bytes, 16, 4, "%d-%d", 12, 34), -1);
  EXPECT_STREQ(counted.bytes, "12-3");
}

TEST(SafeFormat, does_not_accept_count_minus_one_or_zero) {
  for (int count : {-1, 0, -7}) {
    Buffer buffer;
    EXPECT_EQ(SafeFormat(buffer.bytes, 16, count, "%d", 1), -1) << "count " << count;
    EXPECT_EQ(buffer.Bytes(32), Buffer().Bytes(32)) << "count " << count;
  }
}

TEST(SafeFormat, fills_a_large_buffer_to_its_last_character) {
  char big[1024];
  const std::string text(2000, 'z');
  EXPECT_EQ(SafeFormat(big, sizeof big, 1023, "%s", text.c_str()), -1);
  EXPECT_EQ(std::string(big), std::string(1023, 'z'));
  EXPECT_EQ(SafeFormat(big, sizeof big, 1023, "%s", text.substr(0, 1023).c_str()), 1023);
}

}  // namespace
