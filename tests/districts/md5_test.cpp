// Tests of the MD5 digest against RFC 1321's suite and block-boundary lengths.
#include "districts/md5.h"

#include <gtest/gtest.h>

#include <string>

#include "districts/hex.h"

namespace {

std::string DigestText(const std::string& data) {
  unsigned char digest[Md5DigestSize];
  Md5Digest(data.data(), data.size(), digest);
  return HexEncode(digest, Md5DigestSize);
}

struct Row {
  std::string data;
  const char* digest;
};

TEST(Md5Digest, matches_the_rfc1321_test_suite) {
  const Row rows[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"1234567890123456789012345678901234567890123456789012345678901234567890123456"
       "7890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    EXPECT_EQ(DigestText(rows[i].data), rows[i].digest) << "row " << i;
  }
}

// Digests of "a" repeated, from an independent implementation, around the padding edges.
TEST(Md5Digest, handles_lengths_around_the_block_boundary) {
  const Row rows[] = {
      {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
      {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
      {std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
      {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
      {std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
      {std::string(1000, 'a'), "cabe45dcc9ae5b66ba86600cca6b8ba8"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    EXPECT_EQ(DigestText(rows[i].data), rows[i].digest) << "row " << i;
  }
}

TEST(Md5Digest, null_data_with_zero_length_is_the_empty_digest) {
  unsigned char digest[Md5DigestSize];
  Md5Digest(nullptr, 0, digest);
  EXPECT_EQ(HexEncode(digest, Md5DigestSize), "d41d8cd98f00b204e9800998ecf8427e");
}

}  // namespace
