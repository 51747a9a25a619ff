// Opening and sealing the district list envelope.
#include "districts/envelope.h"

#include <string.h>

#include <random>

#include "districts/hex.h"
#include "districts/md5.h"
#include "districts/tea.h"

namespace {

constexpr int kBlock = TeaBlockSize;
constexpr int kTrailerSize = 7;
constexpr int kSaltSize = 2;
constexpr int kFrameSize = 1 + kSaltSize + kTrailerSize;  // header, salt, trailer

// "key:" then the GBK bytes of the quoted line of verse: key:“春风又绿江南。”
const unsigned char kPassphrase[22] = {0x6b, 0x65, 0x79, 0x3a, 0xa1, 0xb0, 0xb4, 0xba,
                                       0xb7, 0xe7, 0xd3, 0xd6, 0xc2, 0xcc, 0xbd, 0xad,
                                       0xc4, 0xcf, 0xa1, 0xa3, 0xa1, 0xb1};

int Fail(EnvelopeError reason, EnvelopeError* error) {
  if (error != nullptr) *error = reason;
  return 0;
}

// The decryption side of the chaining, one block at a time.
class StreamReader {
 public:
  StreamReader(const unsigned char* cipher, int length, const TeaKey& key)
      : cipher_(cipher), length_(length), key_(key) {
    memset(previousX_, 0, sizeof previousX_);
    memset(plain_, 0, sizeof plain_);
  }

  // Moves to the next block; false when it would lie beyond the end.
  bool NextBlock() {
    const int next = block_ + 1;
    if (static_cast<long long>(next + 1) * kBlock > length_) return false;
    const unsigned char* c = cipher_ + next * kBlock;
    unsigned char mixed[kBlock];
    unsigned char x[kBlock];
    for (int j = 0; j < kBlock; ++j) mixed[j] = c[j] ^ previousX_[j];
    TeaDecryptBlock(key_, mixed, x);
    for (int j = 0; j < kBlock; ++j) {
      plain_[j] = x[j] ^ (next > 0 ? cipher_[(next - 1) * kBlock + j] : 0);
      previousX_[j] = x[j];
    }
    block_ = next;
    position_ = 0;
    return true;
  }

  // The next plain byte, moving on to the next block when this one is used up.
  bool Next(unsigned char* byte) {
    if (position_ >= kBlock && !NextBlock()) return false;
    *byte = plain_[position_++];
    return true;
  }

 private:
  const unsigned char* cipher_;
  int length_;
  TeaKey key_;
  int block_ = -1;
  int position_ = kBlock;
  unsigned char previousX_[kBlock];
  unsigned char plain_[kBlock];
};

// The system's random source (getrandom or /dev/urandom; rand_s on Windows). It reports
// an unusable source by throwing, which ends here as a plain failure.
bool RandomBytes(unsigned char* out, int count) {
  try {
    std::random_device source;
    for (int i = 0; i < count; i += 4) {
      const uint32_t word = source();
      for (int j = 0; j < 4 && i + j < count; ++j) {
        out[i + j] = static_cast<unsigned char>(word >> (8 * j));
      }
    }
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

const char* EnvelopeErrorText(EnvelopeError error) {
  switch (error) {
    case EnvelopeError::None: return "no error";
    case EnvelopeError::BadArgument: return "no data given";
    case EnvelopeError::LengthNotMultipleOf8: return "length is not a multiple of 8 bytes";
    case EnvelopeError::TooShort: return "too short: fewer than 16 bytes";
    case EnvelopeError::BadPadCount: return "bad pad count: it leaves no room for the frame";
    case EnvelopeError::PayloadTooLarge: return "payload larger than the output buffer";
    case EnvelopeError::BlockBeyondEnd: return "the data ends inside the envelope";
    case EnvelopeError::TrailerNotZero: return "trailer not zero: wrong key or damaged data";
  }
  return "unknown error";
}

int OpenEnvelope(const unsigned char* cipher, int length, const unsigned char key[16],
                 unsigned char* out, int* outLength, EnvelopeError* error) {
  if (error != nullptr) *error = EnvelopeError::None;
  if (cipher == nullptr || key == nullptr || outLength == nullptr) {
    return Fail(EnvelopeError::BadArgument, error);
  }
  if (length % kBlock != 0) return Fail(EnvelopeError::LengthNotMultipleOf8, error);
  if (length < 2 * kBlock) return Fail(EnvelopeError::TooShort, error);

  StreamReader stream(cipher, length, TeaKeyFromBytes(key));
  unsigned char header = 0;
  if (!stream.Next(&header)) return Fail(EnvelopeError::BlockBeyondEnd, error);
  const int pad = header & 7;
  const int payload = length - pad - kFrameSize;
  if (payload < 0) return Fail(EnvelopeError::BadPadCount, error);
  if (payload > *outLength) return Fail(EnvelopeError::PayloadTooLarge, error);
  if (payload > 0 && out == nullptr) return Fail(EnvelopeError::BadArgument, error);
  *outLength = payload;

  unsigned char byte = 0;
  for (int i = 0; i < pad + kSaltSize; ++i) {
    if (!stream.Next(&byte)) return Fail(EnvelopeError::BlockBeyondEnd, error);
  }
  for (int i = 0; i < payload; ++i) {
    if (!stream.Next(&out[i])) return Fail(EnvelopeError::BlockBeyondEnd, error);
  }
  for (int i = 0; i < kTrailerSize; ++i) {
    if (!stream.Next(&byte)) return Fail(EnvelopeError::BlockBeyondEnd, error);
    if (byte != 0) return Fail(EnvelopeError::TrailerNotZero, error);
  }
  return 1;
}

bool EncryptEnvelopeStream(const std::string& plain, const unsigned char key[16],
                           std::string* cipher) {
  if (cipher == nullptr || key == nullptr || plain.size() % kBlock != 0) return false;
  const TeaKey teaKey = TeaKeyFromBytes(key);
  cipher->assign(plain.size(), '\0');
  unsigned char previousC[kBlock] = {0};
  unsigned char previousX[kBlock] = {0};
  for (size_t offset = 0; offset < plain.size(); offset += kBlock) {
    unsigned char x[kBlock];
    unsigned char e[kBlock];
    for (int j = 0; j < kBlock; ++j) {
      x[j] = static_cast<unsigned char>(plain[offset + j]) ^ previousC[j];
    }
    TeaEncryptBlock(teaKey, x, e);
    for (int j = 0; j < kBlock; ++j) {
      previousC[j] = e[j] ^ previousX[j];
      previousX[j] = x[j];
      (*cipher)[offset + j] = static_cast<char>(previousC[j]);
    }
  }
  return true;
}

bool SealEnvelope(const std::string& payload, const unsigned char key[16],
                  std::string* cipher) {
  if (cipher == nullptr || key == nullptr) return false;
  const size_t framed = payload.size() + kFrameSize;
  const int pad = static_cast<int>((kBlock - framed % kBlock) % kBlock);
  unsigned char noise[1 + 7 + kSaltSize];
  if (!RandomBytes(noise, sizeof noise)) return false;

  std::string plain;
  plain.reserve(framed + pad);
  plain.push_back(static_cast<char>((noise[0] & 0xF8) | pad));
  for (int i = 0; i < pad + kSaltSize; ++i) plain.push_back(static_cast<char>(noise[1 + i]));
  plain.append(payload);
  plain.append(kTrailerSize, '\0');
  return EncryptEnvelopeStream(plain, key, cipher);
}

std::array<unsigned char, 16> DistrictListKey() {
  std::array<unsigned char, 16> key;
  Md5Digest(kPassphrase, sizeof kPassphrase, key.data());
  return key;
}

bool DecryptDistrictList(const std::string& hexLine, std::string* xml, EnvelopeError* error) {
  if (xml != nullptr) xml->clear();
  if (error != nullptr) *error = EnvelopeError::None;
  if (xml == nullptr) return Fail(EnvelopeError::BadArgument, error) != 0;
  const std::string cipher = HexDecode(hexLine);
  const std::array<unsigned char, 16> key = DistrictListKey();
  std::string buffer(cipher.size() + 1, '\0');  // one spare byte: never an empty buffer
  int length = static_cast<int>(cipher.size());
  if (!OpenEnvelope(reinterpret_cast<const unsigned char*>(cipher.data()),
                    static_cast<int>(cipher.size()), key.data(),
                    reinterpret_cast<unsigned char*>(&buffer[0]), &length, error)) {
    return false;
  }
  const void* zero = length > 0 ? memchr(buffer.data(), 0, static_cast<size_t>(length)) : nullptr;
  const size_t size = zero != nullptr ? static_cast<size_t>(static_cast<const char*>(zero) - buffer.data())
                                      : static_cast<size_t>(length);
  xml->assign(buffer.data(), size);
  return true;
}
