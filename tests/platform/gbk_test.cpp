// Tests of the GBK character helpers; on Windows they need code page 936 and are
// skipped otherwise.
#include <gtest/gtest.h>

#include <string.h>

#include "platform/win32.h"
#include "tests/platform/wine.h"

namespace {

const unsigned char* U(const char* text) { return reinterpret_cast<const unsigned char*>(text); }

class PlatformGbk : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    if (GetACP() != 936) GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not GBK (936)";
#endif
  }
};

TEST_F(PlatformGbk, lead_bytes_are_0x81_to_0xfe) {
  struct Row {
    unsigned value;
    BOOL lead;
  } rows[] = {{0x00, FALSE}, {0x41, FALSE}, {0x5c, FALSE}, {0x7f, FALSE}, {0x80, FALSE},
              {0x81, TRUE},  {0xa1, TRUE},  {0xb4, TRUE},  {0xfe, TRUE},  {0xff, FALSE}};
  int row = 0;
  for (const Row& r : rows) {
    EXPECT_EQ(IsDBCSLeadByte(static_cast<BYTE>(r.value)) != 0, r.lead != 0) << "row " << row;
    ++row;
  }
}

TEST_F(PlatformGbk, char_next_steps_over_whole_characters) {
  // "a大b" then a lone lead byte at the end.
  const char* text = "a\xb4\xf3" "b\x81";
  const char* p = text;
  p = CharNextA(p);
  EXPECT_EQ(p - text, 1);
  p = CharNextA(p);
  EXPECT_EQ(p - text, 3);
  p = CharNextA(p);
  EXPECT_EQ(p - text, 4);
  p = CharNextA(p);
  EXPECT_EQ(p - text, 5);  // a lead byte before the NUL stands alone
  EXPECT_EQ(CharNextA(p), p);  // the NUL is never passed
}

TEST_F(PlatformGbk, char_prev_finds_the_start_of_the_previous_character) {
  const char* text = "a\xb4\xf3\x95\x5c" "b";
  EXPECT_EQ(CharPrevA(text, text + 6) - text, 5);
  EXPECT_EQ(CharPrevA(text, text + 5) - text, 3);  // 0x5c is the trail of 0x95
  EXPECT_EQ(CharPrevA(text, text + 3) - text, 1);
  EXPECT_EQ(CharPrevA(text, text + 1) - text, 0);
  EXPECT_EQ(CharPrevA(text, text), text);
}

TEST_F(PlatformGbk, mbschr_and_mbsrchr_never_take_a_trail_byte_for_a_backslash) {
  // "\x95\x5c" is one character whose second byte equals a backslash.
  const char* path = "C:\\dir\x95\x5c\\file\x95\x5c";
  const unsigned char* first = _mbschr(U(path), '\\');
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(reinterpret_cast<const char*>(first) - path, 2);
  const unsigned char* last = _mbsrchr(U(path), '\\');
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(reinterpret_cast<const char*>(last) - path, 8);
  EXPECT_EQ(_mbschr(U("\x95\x5c"), '\\'), nullptr);
  EXPECT_EQ(_mbsrchr(U("\x95\x5c"), '\\'), nullptr);
}

TEST_F(PlatformGbk, mbschr_finds_double_byte_characters_and_the_terminator) {
  const char* text = "x\xb4\xf3y\xb4\xf3";
  const unsigned char* found = _mbschr(U(text), 0xb4f3);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(reinterpret_cast<const char*>(found) - text, 1);
  const unsigned char* lastFound = _mbsrchr(U(text), 0xb4f3);
  ASSERT_NE(lastFound, nullptr);
  EXPECT_EQ(reinterpret_cast<const char*>(lastFound) - text, 4);
  const unsigned char* end = _mbschr(U(text), 0);
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(reinterpret_cast<const char*>(end) - text, 6);
  EXPECT_EQ(_mbschr(U(text), 'z'), nullptr);
}

TEST_F(PlatformGbk, mbsstr_matches_only_at_character_starts) {
  struct Row {
    const char* text;
    const char* needle;
    int want;  // offset of the match, -1 for none
    const char* wineDiffers;
  } rows[] = {
      {"\x81" "ab", "ab", -1, "Wine's _mbsstr compares at every byte"},  // "a" is 0x81's trail
      {"\x81" "aab", "ab", 2, nullptr},
      {"hello", "", 0, nullptr},
      {"hello", "llo", 2, nullptr},
      {"\xb4\xf3\xc7\xf8", "\xc7\xf8", 2, nullptr},
      {"\xb4\xf3\xc7\xf8", "\xf3\xc7", -1, "Wine's _mbsstr compares at every byte"},
      {"abc", "abcd", -1, nullptr},
  };
  const bool wine = RunningUnderWine();
  int row = 0;
  for (const Row& r : rows) {
    if (r.wineDiffers && wine) {
      ++row;
      continue;  // see wineDiffers in the row
    }
    const unsigned char* found = _mbsstr(U(r.text), U(r.needle));
    const int at = found ? static_cast<int>(reinterpret_cast<const char*>(found) - r.text) : -1;
    EXPECT_EQ(at, r.want) << "row " << row;
    ++row;
  }
}

}  // namespace
