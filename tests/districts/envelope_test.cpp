// Tests of opening and sealing the district list envelope and of the list's key.
#include "districts/envelope.h"

#include <gtest/gtest.h>
#include <ctype.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "districts/hex.h"
#include "districts/tea.h"

namespace {

const unsigned char kKey[16] = {0x10, 0x32, 0x54, 0x76, 0x98, 0xba, 0xdc, 0xfe,
                                0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};

const unsigned char* Bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

// A plain stream with the given header byte, padding, salt, payload and trailer.
std::string Plain(unsigned char header, const std::string& padding, const std::string& payload,
                  const std::string& trailer = std::string(7, '\0')) {
  std::string plain(1, static_cast<char>(header));
  plain += padding;
  plain += "\x5a\xa5";
  plain += payload;
  plain += trailer;
  return plain;
}

std::string Encrypt(const std::string& plain) {
  std::string cipher;
  EXPECT_TRUE(EncryptEnvelopeStream(plain, kKey, &cipher)) << "plain of " << plain.size();
  return cipher;
}

struct Opened {
  int result;
  int length;
  EnvelopeError error;
  std::string payload;
};

Opened Open(const std::string& cipher, int capacity, const unsigned char* key = kKey) {
  std::vector<unsigned char> out(capacity > 0 ? capacity : 1, 0xEE);
  Opened o;
  o.length = capacity;
  o.error = EnvelopeError::None;
  o.result = OpenEnvelope(Bytes(cipher), static_cast<int>(cipher.size()), key, out.data(),
                          &o.length, &o.error);
  if (o.result) o.payload.assign(reinterpret_cast<char*>(out.data()), o.length);
  return o;
}

TEST(OpenEnvelope, the_pad_count_and_the_size_give_the_payload_length) {
  const struct {
    unsigned char header;
    const char* padding;
    const char* payload;
    size_t size;
  } rows[] = {{0x06, "abcdef", "", 16}, {0xF3, "xyz", "hello world", 24}};
  for (const auto& r : rows) {
    const std::string cipher = Encrypt(Plain(r.header, r.padding, r.payload));
    ASSERT_EQ(cipher.size(), r.size);
    const Opened o = Open(cipher, static_cast<int>(r.size));
    EXPECT_EQ(o.result, 1) << "size " << r.size;
    EXPECT_EQ(o.length, static_cast<int>(strlen(r.payload))) << "size " << r.size;
    EXPECT_EQ(o.error, EnvelopeError::None) << "size " << r.size;
    EXPECT_EQ(o.payload, r.payload) << "size " << r.size;
  }
}

TEST(OpenEnvelope, ignores_header_high_bits_padding_and_salt) {
  for (int high = 0; high < 32; ++high) {
    const unsigned char header = static_cast<unsigned char>(high << 3 | 6);
    const std::string cipher = Encrypt(Plain(header, std::string(6, static_cast<char>(high * 7)), "payload!"));
    const Opened o = Open(cipher, 64);
    EXPECT_EQ(o.result, 1) << "row " << high;
    EXPECT_EQ(o.payload, "payload!") << "row " << high;
  }
}

TEST(OpenEnvelope, fails_for_lengths_not_a_multiple_of_eight) {
  const std::string cipher = Encrypt(Plain(0x03, "abc", "hello world"));
  for (int cut = 1; cut < 8; ++cut) {
    const Opened o = Open(cipher.substr(0, cipher.size() - cut), 24);
    EXPECT_EQ(o.result, 0) << "row " << cut;
    EXPECT_EQ(o.error, EnvelopeError::LengthNotMultipleOf8) << "row " << cut;
    EXPECT_EQ(o.length, 24) << "row " << cut << ": the capacity stays";
  }
}

TEST(OpenEnvelope, fails_below_sixteen_bytes) {
  const std::string cipher = Encrypt(Plain(0x06, "abcdef", ""));
  const int lengths[] = {0, 8};
  for (int length : lengths) {
    const Opened o = Open(cipher.substr(0, length), 16);
    EXPECT_EQ(o.result, 0) << "length " << length;
    EXPECT_EQ(o.error, EnvelopeError::TooShort) << "length " << length;
  }
}

TEST(OpenEnvelope, fails_when_the_pad_count_leaves_a_negative_payload) {
  // 16 bytes with p = 7 would need n = -1; the stream is made up by hand.
  const std::string cipher = Encrypt(std::string("\x07", 1) + std::string(15, '\0'));
  const Opened o = Open(cipher, 16);
  EXPECT_EQ(o.result, 0);
  EXPECT_EQ(o.error, EnvelopeError::BadPadCount);
  EXPECT_EQ(o.length, 16);
}

TEST(OpenEnvelope, fails_when_the_payload_exceeds_the_capacity) {
  const std::string cipher = Encrypt(Plain(0x03, "abc", "hello world"));
  const Opened tooSmall = Open(cipher, 10);
  EXPECT_EQ(tooSmall.result, 0);
  EXPECT_EQ(tooSmall.error, EnvelopeError::PayloadTooLarge);
  EXPECT_EQ(tooSmall.length, 10);
  const Opened exact = Open(cipher, 11);
  EXPECT_EQ(exact.result, 1);
  EXPECT_EQ(exact.payload, "hello world");
}

TEST(OpenEnvelope, fails_when_the_trailer_is_not_zero_but_keeps_the_payload_length) {
  for (int at = 0; at < 7; ++at) {
    std::string trailer(7, '\0');
    trailer[at] = 1;
    const Opened o = Open(Encrypt(Plain(0x03, "abc", "hello world", trailer)), 24);
    EXPECT_EQ(o.result, 0) << "row " << at;
    EXPECT_EQ(o.error, EnvelopeError::TrailerNotZero) << "row " << at;
    EXPECT_EQ(o.length, 11) << "row " << at;
  }
}

TEST(OpenEnvelope, any_change_in_the_last_block_fails_the_trailer_check) {
  std::string cipher;
  ASSERT_TRUE(SealEnvelope("<District><D><name>x</name></D></District>", kKey, &cipher));
  for (size_t at = cipher.size() - 8; at < cipher.size(); ++at) {
    for (int bit = 0; bit < 8; ++bit) {
      std::string damaged = cipher;
      damaged[at] = static_cast<char>(damaged[at] ^ (1 << bit));
      const Opened o = Open(damaged, static_cast<int>(damaged.size()));
      EXPECT_EQ(o.result, 0) << "byte " << at << " bit " << bit;
      EXPECT_EQ(o.error, EnvelopeError::TrailerNotZero) << "byte " << at << " bit " << bit;
    }
  }
}

TEST(OpenEnvelope, fails_with_the_wrong_key) {
  std::string cipher;
  ASSERT_TRUE(SealEnvelope(std::string(100, 'q'), kKey, &cipher));
  unsigned char other[16];
  memcpy(other, kKey, 16);
  other[15] ^= 0x80;
  EXPECT_EQ(Open(cipher, static_cast<int>(cipher.size()), other).result, 0);
}

TEST(OpenEnvelope, rejects_null_arguments) {
  const std::string cipher = Encrypt(Plain(0x06, "abcdef", ""));
  unsigned char out[16];
  int length = 16;
  EnvelopeError error = EnvelopeError::None;
  EXPECT_EQ(OpenEnvelope(nullptr, 16, kKey, out, &length, &error), 0);
  EXPECT_EQ(error, EnvelopeError::BadArgument);
  EXPECT_EQ(OpenEnvelope(Bytes(cipher), 16, nullptr, out, &length), 0);
  EXPECT_EQ(OpenEnvelope(Bytes(cipher), 16, kKey, out, nullptr), 0);
  const std::string eleven = Encrypt(Plain(0x03, "abc", "hello world"));
  length = 24;
  EXPECT_EQ(OpenEnvelope(Bytes(eleven), 24, kKey, nullptr, &length, &error), 0);
  EXPECT_EQ(error, EnvelopeError::BadArgument);
}

TEST(EncryptEnvelopeStream, refuses_sizes_that_are_not_whole_blocks) {
  std::string cipher;
  EXPECT_FALSE(EncryptEnvelopeStream(std::string(9, 'a'), kKey, &cipher));
  EXPECT_TRUE(EncryptEnvelopeStream(std::string(16, 'a'), kKey, &cipher));
  EXPECT_EQ(cipher.size(), 16u);
}

TEST(EncryptEnvelopeStream, chains_each_block_on_the_previous_ones) {
  // Equal plain blocks must not give equal cipher blocks.
  std::string cipher;
  ASSERT_TRUE(EncryptEnvelopeStream(std::string(32, 'a'), kKey, &cipher));
  EXPECT_NE(cipher.substr(0, 8), cipher.substr(8, 8));
  EXPECT_NE(cipher.substr(8, 8), cipher.substr(16, 8));
  // The first block is the plain TEA encryption of the first plain block.
  unsigned char first[8];
  TeaEncryptBlock(TeaKeyFromBytes(kKey), reinterpret_cast<const unsigned char*>("aaaaaaaa"), first);
  EXPECT_EQ(memcmp(first, cipher.data(), 8), 0);
}

TEST(SealEnvelope, round_trips_random_payloads_from_zero_to_ten_thousand_bytes) {
  std::mt19937 random(20240);
  std::vector<size_t> sizes = {0, 1, 2, 5, 6, 7, 8, 9, 13, 14, 15, 16, 17, 1000, 10000};
  for (int i = 0; i < 40; ++i) sizes.push_back(random() % 10001);
  for (size_t row = 0; row < sizes.size(); ++row) {
    std::string payload(sizes[row], '\0');
    for (auto& c : payload) c = static_cast<char>(random());
    std::string cipher;
    ASSERT_TRUE(SealEnvelope(payload, kKey, &cipher)) << "row " << row;
    const size_t n = payload.size();
    const size_t pad = (8 - (n + 10) % 8) % 8;
    EXPECT_EQ(cipher.size(), n + 10 + pad) << "row " << row;
    const Opened o = Open(cipher, static_cast<int>(cipher.size()));
    ASSERT_EQ(o.result, 1) << "row " << row << ", " << n << " bytes";
    EXPECT_EQ(o.payload, payload) << "row " << row;
  }
}

TEST(SealEnvelope, uses_the_smallest_pad_count_and_fresh_random_bits) {
  std::string a, b;
  ASSERT_TRUE(SealEnvelope("same payload", kKey, &a));
  ASSERT_TRUE(SealEnvelope("same payload", kKey, &b));
  EXPECT_NE(a, b);
  unsigned char first[8];
  TeaDecryptBlock(TeaKeyFromBytes(kKey), Bytes(a), first);
  EXPECT_EQ(first[0] & 7, (8 - (12 + 10) % 8) % 8);
}

TEST(DistrictListKey, is_the_digest_of_the_gbk_passphrase) {
  // Computed independently: hashlib.md5('key:“春风又绿江南。”'.encode('gbk')).
  const std::array<unsigned char, 16> key = DistrictListKey();
  EXPECT_EQ(HexEncode(key.data(), 16), "233de8102ddbb6f60145ff630e5e31a2");
}

std::string SealedListLine(const std::string& xml) {
  std::string cipher;
  EXPECT_TRUE(SealEnvelope(xml, DistrictListKey().data(), &cipher));
  return HexEncode(Bytes(cipher), static_cast<int16_t>(cipher.size()));
}

TEST(DecryptDistrictList, gives_the_xml_of_a_line_in_either_case_with_its_line_end) {
  const std::string xml = "<District><D><name>\xb4\xf3\xc7\xf8</name></D></District>";
  const std::string line = SealedListLine(xml);
  std::string upper = line;
  for (auto& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  const std::string rows[] = {line, line + "\n", upper, upper + "\n"};
  for (size_t i = 0; i < 4; ++i) {
    std::string out = "stale";
    EnvelopeError error = EnvelopeError::BadArgument;
    EXPECT_TRUE(DecryptDistrictList(rows[i], &out, &error)) << "row " << i;
    EXPECT_EQ(out, xml) << "row " << i;
    EXPECT_EQ(error, EnvelopeError::None) << "row " << i;
  }
}

TEST(DecryptDistrictList, ends_the_text_at_its_first_zero_byte) {
  const std::string line = SealedListLine(std::string("<District/>\0tail", 16));
  std::string out;
  ASSERT_TRUE(DecryptDistrictList(line, &out));
  EXPECT_EQ(out, "<District/>");
}

TEST(DecryptDistrictList, damaged_lines_give_an_empty_document_and_the_reason) {
  const std::string good = SealedListLine("<District/>");
  struct Row {
    std::string line;
    EnvelopeError error;
  };
  std::string lastChanged = good;
  lastChanged[lastChanged.size() - 1] = lastChanged.back() == '0' ? '1' : '0';
  const Row rows[] = {
      {"", EnvelopeError::TooShort},
      {"\n", EnvelopeError::TooShort},
      {good.substr(0, good.size() - 2), EnvelopeError::LengthNotMultipleOf8},
      {good.substr(0, 16), EnvelopeError::TooShort},
      {lastChanged, EnvelopeError::TrailerNotZero},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    std::string out = "stale";
    EnvelopeError error = EnvelopeError::None;
    EXPECT_FALSE(DecryptDistrictList(rows[i].line, &out, &error)) << "row " << i;
    EXPECT_EQ(out, "") << "row " << i;
    EXPECT_EQ(error, rows[i].error) << "row " << i;
    EXPECT_STRNE(EnvelopeErrorText(error), "") << "row " << i;
  }
}

TEST(DecryptDistrictList, bad_hexadecimal_text_never_crashes) {
  std::string longest(20479, 'z');
  std::string odd = SealedListLine("<District/>") + "7";
  std::string mixed(20479, '\0');
  std::mt19937 random(7);
  for (auto& c : mixed) c = static_cast<char>(random());
  const std::string rows[] = {"", "a", "abc", "zz", longest, odd, mixed,
                              std::string(20478, 'f'), std::string(16, '0')};
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    std::string out;
    EnvelopeError error = EnvelopeError::None;
    const bool ok = DecryptDistrictList(rows[i], &out, &error);
    if (i == 5) {
      EXPECT_TRUE(ok) << "row " << i << ": a last odd digit is ignored";
      EXPECT_EQ(out, "<District/>");
    } else {
      EXPECT_FALSE(ok) << "row " << i;
      EXPECT_NE(error, EnvelopeError::None) << "row " << i;
    }
  }
}

}  // namespace
