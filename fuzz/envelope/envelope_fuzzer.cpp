// Fuzz target for the district list envelope alone: opening hostile cipher text into a
// buffer of any capacity, and sealing then opening any payload.
#include <fuzzer/FuzzedDataProvider.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <array>
#include <string>
#include <vector>

#include "common/fuzz_support.h"
#include "districts/envelope.h"

namespace {

constexpr unsigned char kGuard = 0xA5;
constexpr size_t kGuardBytes = 32;
constexpr int kFrame = 10;  // header, salt, trailer

struct Opened {
  int ok;
  int length;
  EnvelopeError error;
  std::vector<unsigned char> payload;
};

// Opens the cipher into a buffer of `capacity` bytes followed by guard bytes, and holds the
// result to what OpenEnvelope promises.
Opened OpenInto(const std::string& cipher, const unsigned char key[16], int capacity) {
  std::vector<unsigned char> out(static_cast<size_t>(capacity) + kGuardBytes, kGuard);
  Opened r{0, capacity, EnvelopeError::None, {}};
  r.ok = OpenEnvelope(reinterpret_cast<const unsigned char*>(cipher.data()),
                      static_cast<int>(cipher.size()), key, out.data(), &r.length, &r.error);
  const std::string where = " (" + std::to_string(cipher.size()) + " cipher bytes, capacity " +
                            std::to_string(capacity) + ")";
  FUZZ_CHECK(r.ok == 0 || r.ok == 1, "OpenEnvelope returned " + std::to_string(r.ok) + where);
  FUZZ_CHECK(EnvelopeErrorText(r.error) != nullptr, "an error without a text" + where);
  for (size_t i = static_cast<size_t>(capacity); i < out.size(); ++i)
    FUZZ_CHECK(out[i] == kGuard, "written past the buffer's end" + where);
  const int size = static_cast<int>(cipher.size());
  if (size % 8 != 0) {
    FUZZ_CHECK(!r.ok && r.error == EnvelopeError::LengthNotMultipleOf8, "length not refused" + where);
  } else if (size < 16) {
    FUZZ_CHECK(!r.ok && r.error == EnvelopeError::TooShort, "a short envelope not refused" + where);
  }
  if (!r.ok) {
    FUZZ_CHECK(r.error != EnvelopeError::None, "a failure that says no error" + where);
    return r;
  }
  FUZZ_CHECK(r.error == EnvelopeError::None, "a success that reports an error" + where);
  FUZZ_CHECK(r.length >= 0 && r.length <= capacity, "payload length " + std::to_string(r.length) + where);
  const int pad = size - kFrame - r.length;
  FUZZ_CHECK(pad >= 0 && pad <= 7, "pad count " + std::to_string(pad) + where);
  for (size_t i = static_cast<size_t>(r.length); i < static_cast<size_t>(capacity); ++i)
    FUZZ_CHECK(out[i] == kGuard, "written past the payload" + where);
  r.payload.assign(out.begin(), out.begin() + r.length);
  return r;
}

// Hostile cipher text: the result does not depend on the buffer, only on whether the
// payload fits it.
void OpenHostile(const std::string& cipher, const unsigned char key[16], int capacity) {
  const Opened first = OpenInto(cipher, key, capacity);
  if (!first.ok) return;
  const Opened exact = OpenInto(cipher, key, first.length);
  FUZZ_CHECK(exact.ok && exact.payload == first.payload,
             "an exactly fitting buffer opens differently");
  if (first.length > 0) {
    const Opened small = OpenInto(cipher, key, first.length - 1);
    FUZZ_CHECK(!small.ok && small.error == EnvelopeError::PayloadTooLarge,
               "a buffer one byte short is not refused");
  }
}

// Any payload, framed with fuzzed header bits and salt, comes back whole.
void RoundTrip(FuzzedDataProvider& input, const unsigned char key[16]) {
  const uint8_t headerBits = input.ConsumeIntegral<uint8_t>();
  const uint16_t salt = input.ConsumeIntegral<uint16_t>();
  const std::string payload = input.ConsumeRemainingBytesAsString();
  const size_t framed = payload.size() + kFrame;
  const int pad = static_cast<int>((8 - framed % 8) % 8);
  std::string plain;
  plain.push_back(static_cast<char>((headerBits & 0xF8) | pad));
  for (int i = 0; i < pad; ++i) plain.push_back(static_cast<char>(headerBits + i));
  plain.push_back(static_cast<char>(salt & 0xFF));
  plain.push_back(static_cast<char>(salt >> 8));
  plain.append(payload);
  plain.append(7, '\0');
  std::string cipher;
  FUZZ_CHECK(EncryptEnvelopeStream(plain, key, &cipher), "a framed payload does not encrypt");
  FUZZ_CHECK(cipher.size() == plain.size(), "the cipher is not as long as the plain stream");
  const Opened opened = OpenInto(cipher, key, static_cast<int>(payload.size()));
  FUZZ_CHECK(opened.ok, std::string("a sealed payload does not open: ") + EnvelopeErrorText(opened.error));
  FUZZ_CHECK(std::string(opened.payload.begin(), opened.payload.end()) == payload,
             "the opened payload is not the one sealed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  std::array<unsigned char, 16> key = DistrictListKey();
  if (input.ConsumeBool()) {
    const std::vector<uint8_t> own = input.ConsumeBytes<uint8_t>(16);
    if (!own.empty()) memcpy(key.data(), own.data(), own.size());
  }
  const int capacity = input.ConsumeIntegralInRange<int>(0, 16384);
  const std::string cipher = input.ConsumeRandomLengthString(16384);
  OpenHostile(cipher, key.data(), capacity);
  RoundTrip(input, key.data());
  return 0;
}
