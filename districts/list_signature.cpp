// Ed25519 over the district list through libsodium, and the hexadecimal texts around it.
#include "districts/list_signature.h"

#include <sodium.h>

#include "districts/hex.h"

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// sodium_init() once per process; it is safe to call from several threads.
bool SodiumReady() {
  static const bool ready = sodium_init() >= 0;
  return ready;
}

// Erases a secret on the way out of every path.
class Wiped {
 public:
  Wiped(void* data, size_t size) : data_(data), size_(size) {}
  ~Wiped() { sodium_memzero(data_, size_); }
  Wiped(const Wiped&) = delete;
  Wiped& operator=(const Wiped&) = delete;

 private:
  void* data_;
  size_t size_;
};

}  // namespace

bool ParseHexBytes(const std::string& text, unsigned char* out, size_t count) {
  if (text.size() != 2 * count) return false;
  for (size_t i = 0; i < count; ++i) {
    const int high = HexDigit(text[2 * i]);
    const int low = HexDigit(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    out[i] = static_cast<unsigned char>(high << 4 | low);
  }
  return true;
}

bool ParseHexLine(const std::string& text, unsigned char* out, size_t count) {
  size_t end = text.size();
  if (end >= 1 && text[end - 1] == '\n') --end;
  if (end >= 1 && text[end - 1] == '\r' && end < text.size()) --end;
  while (end > 2 * count && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  return ParseHexBytes(text.substr(0, end), out, count);
}

const char* SignatureProblemText(SignatureProblem problem) {
  switch (problem) {
    case SignatureProblem::None: return "the signature holds";
    case SignatureProblem::Missing: return "no signature";
    case SignatureProblem::Malformed: return "malformed signature (not 128 hexadecimal digits)";
    case SignatureProblem::Wrong: return "bad signature (not the operator's signature of this list)";
  }
  return "bad signature";
}

SignatureProblem CheckListSignature(const std::string& xml, const std::string& signatureText,
                                    const unsigned char publicKey[ListPublicKeyBytes]) {
  unsigned char signature[ListSignatureBytes];
  if (!ParseHexLine(signatureText, signature, sizeof signature)) return SignatureProblem::Malformed;
  return VerifyListSignature(xml, signature, publicKey) ? SignatureProblem::None
                                                        : SignatureProblem::Wrong;
}

bool VerifyListSignature(const std::string& xml, const unsigned char signature[ListSignatureBytes],
                         const unsigned char publicKey[ListPublicKeyBytes]) {
  return SodiumReady() &&
         crypto_sign_verify_detached(signature, reinterpret_cast<const unsigned char*>(xml.data()),
                                     xml.size(), publicKey) == 0;
}

void WipeSecret(void* data, size_t size) { sodium_memzero(data, size); }

bool NewListSeed(unsigned char seed[ListSeedBytes]) {
  if (!SodiumReady()) return false;
  randombytes_buf(seed, ListSeedBytes);
  return true;
}

bool ListPublicKeyOf(const unsigned char seed[ListSeedBytes], unsigned char publicKey[ListPublicKeyBytes]) {
  unsigned char secret[crypto_sign_SECRETKEYBYTES];
  Wiped wiped(secret, sizeof secret);
  return SodiumReady() && crypto_sign_seed_keypair(publicKey, secret, seed) == 0;
}

bool SignList(const std::string& xml, const unsigned char seed[ListSeedBytes], std::string* signatureText) {
  unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
  unsigned char secret[crypto_sign_SECRETKEYBYTES];
  Wiped wiped(secret, sizeof secret);
  unsigned char signature[crypto_sign_BYTES];
  if (!SodiumReady() || crypto_sign_seed_keypair(publicKey, secret, seed) != 0 ||
      crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(xml.data()),
                           xml.size(), secret) != 0)
    return false;
  *signatureText = HexEncode(signature, static_cast<int16_t>(sizeof signature)) + "\n";
  return true;
}
