// TEA with 16 rounds instead of the usual 32, as the district list file uses it.
#include "districts/tea.h"

namespace {

constexpr uint32_t kDelta = 0x9E3779B9u;
constexpr int kRounds = 16;

uint32_t LoadBigEndian(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

void StoreBigEndian(uint32_t value, unsigned char* p) {
  p[0] = static_cast<unsigned char>(value >> 24);
  p[1] = static_cast<unsigned char>(value >> 16);
  p[2] = static_cast<unsigned char>(value >> 8);
  p[3] = static_cast<unsigned char>(value);
}

}  // namespace

TeaKey TeaKeyFromBytes(const unsigned char key[TeaKeySize]) {
  TeaKey result;
  for (int i = 0; i < 4; ++i) result.k[i] = LoadBigEndian(key + 4 * i);
  return result;
}

void TeaEncryptBlock(const TeaKey& key, const unsigned char in[TeaBlockSize],
                     unsigned char out[TeaBlockSize]) {
  uint32_t y = LoadBigEndian(in), z = LoadBigEndian(in + 4), sum = 0;
  const uint32_t* k = key.k;
  for (int i = 0; i < kRounds; ++i) {
    sum += kDelta;
    y += ((z << 4) + k[0]) ^ (z + sum) ^ ((z >> 5) + k[1]);
    z += ((y << 4) + k[2]) ^ (y + sum) ^ ((y >> 5) + k[3]);
  }
  StoreBigEndian(y, out);
  StoreBigEndian(z, out + 4);
}

void TeaDecryptBlock(const TeaKey& key, const unsigned char in[TeaBlockSize],
                     unsigned char out[TeaBlockSize]) {
  uint32_t y = LoadBigEndian(in), z = LoadBigEndian(in + 4);
  uint32_t sum = kDelta * static_cast<uint32_t>(kRounds);  // 0xE3779B90
  const uint32_t* k = key.k;
  for (int i = 0; i < kRounds; ++i) {
    z -= ((y << 4) + k[2]) ^ (y + sum) ^ ((y >> 5) + k[3]);
    y -= ((z << 4) + k[0]) ^ (z + sum) ^ ((z >> 5) + k[1]);
    sum -= kDelta;
  }
  StoreBigEndian(y, out);
  StoreBigEndian(z, out + 4);
}
