// The list signature: RFC 8032's Ed25519 vectors through the launcher's own check, and
// every kind of tampering refused.
#include "districts/list_signature.h"

#include <gtest/gtest.h>

#include "districts/hex.h"

namespace {

struct Vector {
  const char* seed;
  const char* publicKey;
  const char* message;
  const char* signature;
};

// RFC 8032 section 7.1: TEST 1, 2, 3 and SHA(abc).
const Vector kRfc8032[] = {
    {"9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60",
     "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
     "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe24655141438e7a100b"},
    {"4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb",
     "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", "72",
     "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da085ac1e43e15996e458f3613d0f11d8c387b2eaeb4302aeeb00d291612bb0c00"},
    {"c5aa8df43f9f837bedb7442f31dcb7b166d38535076f094b85ce3a2e0b4458f7",
     "fc51cd8e6218a1a38da47ed00230f0580816ed13ba3303ac5deb911548908025", "af82",
     "6291d657deec24024827e69c3abe01a30ce548a284743a445e3680d7db5ac3ac18ff9b538d16f290ae67f760984dc6594a7c15e9716ed28dc027beceea1ec40a"},
    {"833fe62409237b9d62ec77587520911e9a759cec1d19755b7da901b96dca3d42",
     "ec172b93ad5e563bf4932c70e1245034c35467ef2efd4d64ebf819683467e2bf",
     "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f",
     "dc2a4459e7369633a52b1bf277839a00201009a3efbf3ecb69bea2186c26b58909351fc9ac90b3ecfdfbc7c66431e0303dca179c138ac17ad9bef1177331a704"},
};

std::string Bytes(const char* hex) { return HexDecode(hex); }

// The hexadecimal text with one bit of byte `at` flipped.
std::string FlipBit(const std::string& hex, size_t at) {
  std::string bytes = HexDecode(hex);
  bytes[at] ^= 0x10;
  return HexEncode(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int16_t>(bytes.size()));
}

TEST(ListSignature, rfc8032_vectors_hold_and_sign_alike) {
  for (const Vector& v : kRfc8032) {
    unsigned char key[ListPublicKeyBytes], seed[ListSeedBytes], derived[ListPublicKeyBytes];
    ASSERT_TRUE(ParseHexBytes(v.publicKey, key, sizeof key));
    ASSERT_TRUE(ParseHexBytes(v.seed, seed, sizeof seed));
    EXPECT_EQ(CheckListSignature(Bytes(v.message), v.signature, key), SignatureProblem::None) << v.seed;
    ASSERT_TRUE(ListPublicKeyOf(seed, derived));
    EXPECT_EQ(HexEncode(derived, sizeof derived), v.publicKey);
    std::string signature;
    ASSERT_TRUE(SignList(Bytes(v.message), seed, &signature));
    EXPECT_EQ(signature, std::string(v.signature) + "\n");
  }
}

TEST(ListSignature, tampering_and_malformed_files_are_refused) {
  const Vector& v = kRfc8032[3];
  const std::string message = Bytes(v.message);
  const std::string sig = v.signature;
  std::string upper = sig;
  for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  std::string flippedMessage = message;
  flippedMessage[17] ^= 0x04;
  const std::string flippedR = FlipBit(sig, 3);
  const std::string flippedS = FlipBit(sig, 40);
  const std::string flippedKey = FlipBit(v.publicKey, 5);
  const struct {
    const char* what;
    std::string message, signature, key;
    SignatureProblem expected;
  } cases[] = {
      {"as signed", message, sig, v.publicKey, SignatureProblem::None},
      {"uppercase digits", message, upper, v.publicKey, SignatureProblem::None},
      {"mixed case", message, upper.substr(0, 64) + sig.substr(64), v.publicKey, SignatureProblem::None},
      {"blanks and CR LF after", message, sig + " \t \r\n", v.publicKey, SignatureProblem::None},
      {"LF after", message, sig + "\n", v.publicKey, SignatureProblem::None},
      {"one bit of the list", flippedMessage, sig, v.publicKey, SignatureProblem::Wrong},
      {"one bit of the signature's R", message, flippedR, v.publicKey, SignatureProblem::Wrong},
      {"one bit of the signature's S", message, flippedS, v.publicKey, SignatureProblem::Wrong},
      {"one bit of the key", message, sig, flippedKey, SignatureProblem::Wrong},
      {"another list's signature", message, kRfc8032[2].signature, v.publicKey, SignatureProblem::Wrong},
      {"another key's signature of it", Bytes(kRfc8032[2].message), kRfc8032[2].signature, v.publicKey,
       SignatureProblem::Wrong},
      {"truncated by a digit", message, sig.substr(0, 127), v.publicKey, SignatureProblem::Malformed},
      {"one digit too many", message, sig + "0", v.publicKey, SignatureProblem::Malformed},
      {"empty file", message, "", v.publicKey, SignatureProblem::Malformed},
      {"blank before", message, " " + sig, v.publicKey, SignatureProblem::Malformed},
      {"text after the line end", message, sig + "\nx", v.publicKey, SignatureProblem::Malformed},
      {"lone CR", message, sig + "\r", v.publicKey, SignatureProblem::Malformed},
      {"not hexadecimal", message, "g" + sig.substr(1), v.publicKey, SignatureProblem::Malformed},
  };
  for (const auto& c : cases) {
    unsigned char key[ListPublicKeyBytes];
    ASSERT_TRUE(ParseHexBytes(c.key, key, sizeof key)) << c.what;
    EXPECT_EQ(CheckListSignature(c.message, c.signature, key), c.expected) << c.what;
  }
}

}  // namespace
