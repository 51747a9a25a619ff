// Tests of the hexadecimal reading and writing of list files and remembered addresses.
#include "districts/hex.h"

#include <gtest/gtest.h>
#include <string.h>

#include <memory>
#include <string>

namespace {

// A hex text and the bytes it reads as.
struct DecodeRow {
  const char* text;
  std::string bytes;
};

TEST(HexDecode, reads_pairs_like_a_hex_scan) {
  const DecodeRow rows[] = {
      {"", ""},
      {"6", ""},
      {"61", "a"},
      {"616", "a"},
      {"616263", "abc"},
      {"4A4a", "JJ"},
      {"00ff", std::string("\0\xff", 2)},
      {"zz", std::string("\0", 1)},
      {"zz41", std::string("\0A", 2)},
      {"41zz42", "AAB"},
      {"41zzzz", "AAA"},
      {" 5", "\x05"},
      {"5z", "\x05"},
      {"41  ", "AA"},
      {"-1", "\xff"},
      {"+f", "\x0f"},
      {"41-z", "AA"},
      {"6162\n", "ab"},
      {"6162\r\n", "ab\x62"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    EXPECT_EQ(HexDecode(rows[i].text), rows[i].bytes) << "row " << i << ": " << rows[i].text;
  }
}

TEST(HexDecode, thirty_three_digits_give_sixteen_bytes_and_ignore_the_last) {
  const std::string text = "000102030405060708090a0b0c0d0e0f7";
  ASSERT_EQ(text.size(), 33u);
  const std::string bytes = HexDecode(text);
  ASSERT_EQ(bytes.size(), 16u);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(static_cast<unsigned char>(bytes[i]), i) << "byte " << i;
}

TEST(HexDecode, garbage_changes_values_never_the_length) {
  const char* rows[] = {"", "x", "\x01\x02\x03", "zzzzzzzzz", "\xff\xfe\xa1\xb0", "g1h2i3j4k"};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    EXPECT_EQ(HexDecode(rows[i]).size(), strlen(rows[i]) / 2) << "row " << i;
  }
}

TEST(HexDecode, longest_list_line_decodes_to_half_its_length) {
  std::string text(20479, 'q');
  for (size_t i = 0; i < text.size(); i += 7) text[i] = "0123456789abcdef"[i % 16];
  EXPECT_EQ(HexDecode(text).size(), 10239u);
}

TEST(HexEncode, writes_two_lowercase_digits_per_byte) {
  const unsigned char abc[] = {'a', 'b', 'c'};
  EXPECT_EQ(HexEncode(abc, 3), "616263");
  const unsigned char mixed[] = {0x00, 0xff, 0x0a, 0xA0};
  EXPECT_EQ(HexEncode(mixed, 4), "00ff0aa0");
}

TEST(HexEncode, count_of_zero_or_less_gives_empty_text) {
  const unsigned char abc[] = {'a', 'b', 'c'};
  EXPECT_EQ(HexEncode(abc, 0), "");
  EXPECT_EQ(HexEncode(abc, -1), "");
  EXPECT_EQ(HexEncode(nullptr, 3), "");
}

TEST(HexDecodeToBuffer, reads_up_to_two_digits_at_every_even_position) {
  const DecodeRow rows[] = {
      {"", ""},
      {"616", "a\x06"},
      {"6", "\x06"},
      {"6162", "ab"},
      {"zz61", std::string("\0a", 2)},
      {"6z", "\x06"},
      {"F0f0", "\xf0\xf0"},
      {" 61", "a\x01"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    unsigned char out[16];
    memset(out, 0xEE, sizeof out);
    int16_t count = -5;
    HexDecodeToBuffer(rows[i].text, out, &count);
    ASSERT_EQ(count, static_cast<int16_t>(rows[i].bytes.size())) << "row " << i;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), count), rows[i].bytes) << "row " << i;
    EXPECT_EQ(out[count], 0xEE) << "row " << i << ": wrote past the count";
  }
}

TEST(HexDecodeToBuffer, writes_exactly_the_room_of_half_the_length_rounded_up) {
  std::string mixed(20479, 'z');
  for (size_t i = 0; i < mixed.size(); i += 3) mixed[i] = "0a \xb0-+F"[i % 7];
  const std::string rows[] = {"1", "12", "123", "zzz", "\xa1\xb0\xa1", "abcdefabcdefabcdefa",
                              std::string(20479, 'f'), mixed, "61 "};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const size_t room = (rows[i].size() + 1) / 2;
    std::unique_ptr<unsigned char[]> out(new unsigned char[room]);  // exact: sanitizers see overruns
    int16_t count = 0;
    HexDecodeToBuffer(rows[i].c_str(), out.get(), &count);
    EXPECT_EQ(count, static_cast<int16_t>(room)) << "row " << i;
  }
}

TEST(HexDecodeToBuffer, stops_at_the_capacity) {
  unsigned char out[4];
  memset(out, 0xEE, sizeof out);
  int16_t count = 0;
  HexDecodeToBuffer("616263646566", out, &count, 3);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 3), "abc");
  EXPECT_EQ(out[3], 0xEE);
}

TEST(HexDecodeToBuffer, null_text_gives_count_zero) {
  unsigned char out[2] = {0, 0};
  int16_t count = 9;
  HexDecodeToBuffer(nullptr, out, &count);
  EXPECT_EQ(count, 0);
}

TEST(HexDecodeToBuffer, reads_back_what_hex_encode_wrote) {
  unsigned char bytes[256];
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<unsigned char>(255 - i);
  const std::string text = HexEncode(bytes, 256);
  unsigned char out[256];
  int16_t count = 0;
  HexDecodeToBuffer(text.c_str(), out, &count, sizeof out);
  ASSERT_EQ(count, 256);
  EXPECT_EQ(memcmp(out, bytes, sizeof bytes), 0);
}

}  // namespace
