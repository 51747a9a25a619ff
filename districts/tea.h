// The 16-round TEA block cipher over 8-byte blocks of two big-endian 32-bit words.
#pragma once

#include <stdint.h>

constexpr int TeaBlockSize = 8;
constexpr int TeaKeySize = 16;

// The key's four words k0..k3, each from 4 consecutive key bytes in big-endian order.
struct TeaKey {
  uint32_t k[4];
};
TeaKey TeaKeyFromBytes(const unsigned char key[TeaKeySize]);

void TeaEncryptBlock(const TeaKey& key, const unsigned char in[TeaBlockSize],
                     unsigned char out[TeaBlockSize]);
void TeaDecryptBlock(const TeaKey& key, const unsigned char in[TeaBlockSize],
                     unsigned char out[TeaBlockSize]);
