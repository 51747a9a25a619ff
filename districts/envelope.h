// The district list envelope: header, padding, salt, payload and a zero trailer,
// encrypted with TEA in the list file's own chaining mode, and the list's key.
#pragma once

#include <stdint.h>

#include <array>
#include <string>

// Why an envelope could not be opened; the results of OpenEnvelope do not depend on it.
enum class EnvelopeError {
  None,
  BadArgument,          // a null buffer or length
  LengthNotMultipleOf8,
  TooShort,             // fewer than 16 bytes
  BadPadCount,          // the pad count leaves a negative payload length
  PayloadTooLarge,      // the payload does not fit the output buffer
  BlockBeyondEnd,       // the stream needs a block past the end
  TrailerNotZero,
};

// One lowercase phrase naming the reason, for messages.
const char* EnvelopeErrorText(EnvelopeError error);

// Opens `length` cipher bytes. *outLength holds the capacity of out on entry and, once the
// header is read, the payload length n (kept even when a later check fails). Returns 1
// with the payload in out on success, 0 on failure; *error, if given, says why.
int OpenEnvelope(const unsigned char* cipher, int length, const unsigned char key[16],
                 unsigned char* out, int* outLength, EnvelopeError* error = nullptr);

// Encrypts a plain stream whose size is a multiple of 8 with the chaining rule
// X(i) = P(i) ^ C(i-1), C(i) = E(X(i)) ^ X(i-1). Returns false for any other size.
bool EncryptEnvelopeStream(const std::string& plain, const unsigned char key[16],
                           std::string* cipher);

// Builds and encrypts an envelope around the payload with fresh random header bits,
// padding and salt from the system's random source. False when no random source works.
bool SealEnvelope(const std::string& payload, const unsigned char key[16],
                  std::string* cipher);

// The key of the district list: the MD5 digest of the launcher's fixed passphrase.
std::array<unsigned char, 16> DistrictListKey();

// Hex line -> cipher bytes -> envelope -> XML text up to its first zero byte. On failure
// *xml is empty (an empty document) and false is returned, with the reason in *error.
bool DecryptDistrictList(const std::string& hexLine, std::string* xml,
                         EnvelopeError* error = nullptr);
