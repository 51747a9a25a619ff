// Tests of the 16-round TEA block cipher.
#include "districts/tea.h"

#include <gtest/gtest.h>
#include <string.h>

#include <random>

#include "districts/hex.h"

namespace {

const unsigned char kZeroKey[16] = {0};
const unsigned char kCountingKey[16] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef,
                                        0xfe, 0xdc, 0xba, 0x98, 0x76, 0x54, 0x32, 0x10};

TEST(TeaKeyFromBytes, reads_four_big_endian_words) {
  const TeaKey key = TeaKeyFromBytes(kCountingKey);
  EXPECT_EQ(key.k[0], 0x01234567u);
  EXPECT_EQ(key.k[1], 0x89abcdefu);
  EXPECT_EQ(key.k[2], 0xfedcba98u);
  EXPECT_EQ(key.k[3], 0x76543210u);
}

// Expected blocks from an independent 16-round implementation.
TEST(TeaEncryptBlock, matches_sixteen_round_reference_values) {
  unsigned char out[8];
  const unsigned char zero[8] = {0};
  TeaEncryptBlock(TeaKeyFromBytes(kZeroKey), zero, out);
  EXPECT_EQ(HexEncode(out, 8), "a889f798182d8083");
  const unsigned char block[8] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
  TeaEncryptBlock(TeaKeyFromBytes(kCountingKey), block, out);
  EXPECT_EQ(HexEncode(out, 8), "1d9210fa4d58354f");
}

TEST(TeaDecryptBlock, undoes_encryption_for_random_blocks_and_keys) {
  std::mt19937 random(1234);
  for (int row = 0; row < 200; ++row) {
    unsigned char keyBytes[16], block[8], cipher[8], plain[8];
    for (auto& b : keyBytes) b = static_cast<unsigned char>(random());
    for (auto& b : block) b = static_cast<unsigned char>(random());
    const TeaKey key = TeaKeyFromBytes(keyBytes);
    TeaEncryptBlock(key, block, cipher);
    EXPECT_NE(memcmp(cipher, block, 8), 0) << "row " << row;
    TeaDecryptBlock(key, cipher, plain);
    EXPECT_EQ(memcmp(plain, block, 8), 0) << "row " << row;
  }
}

TEST(TeaDecryptBlock, works_in_place) {
  unsigned char block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  const TeaKey key = TeaKeyFromBytes(kCountingKey);
  TeaEncryptBlock(key, block, block);
  TeaDecryptBlock(key, block, block);
  const unsigned char expected[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(memcmp(block, expected, 8), 0);
}

}  // namespace
