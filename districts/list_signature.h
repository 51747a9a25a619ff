// The operator's Ed25519 signature of the district list: the key and signature texts, and
// signing and checking the list's XML text (the envelope's payload up to its first zero).
#pragma once

#include <stddef.h>

#include <string>

constexpr size_t ListPublicKeyBytes = 32;
constexpr size_t ListSeedBytes = 32;
constexpr size_t ListSignatureBytes = 64;
// A signature file is 128 digits and a line end; anything this large is not one.
constexpr size_t MaxSignatureFileBytes = 1024;

// Exactly 2 * count hexadecimal digits, either case, nothing else.
bool ParseHexBytes(const std::string& text, unsigned char* out, size_t count);

// The text of a signature or key file: 2 * count hexadecimal digits, either case, then
// optionally blanks (spaces, tabs) and one line end (LF or CR LF).
bool ParseHexLine(const std::string& text, unsigned char* out, size_t count);

// Why a signature does not hold, in the words of the launcher's and the tool's messages.
enum class SignatureProblem { None, Missing, Malformed, Wrong };
const char* SignatureProblemText(SignatureProblem problem);

// The signature file's text checked against the list's XML text and the public key.
SignatureProblem CheckListSignature(const std::string& xml, const std::string& signatureText,
                                    const unsigned char publicKey[ListPublicKeyBytes]);

// Pure Ed25519 over the whole of xml; false when the signature does not hold.
bool VerifyListSignature(const std::string& xml, const unsigned char signature[ListSignatureBytes],
                         const unsigned char publicKey[ListPublicKeyBytes]);

// The operator's side: a fresh seed from the system's random source, its public key, and
// the signature file's text (128 lowercase digits and a line feed). False on failure.
bool NewListSeed(unsigned char seed[ListSeedBytes]);
bool ListPublicKeyOf(const unsigned char seed[ListSeedBytes], unsigned char publicKey[ListPublicKeyBytes]);
bool SignList(const std::string& xml, const unsigned char seed[ListSeedBytes], std::string* signatureText);

// Overwrites a secret with zeros in a way the compiler cannot leave out.
void WipeSecret(void* data, size_t size);
