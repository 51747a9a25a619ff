// Fuzz target for the district list path: hex text, envelope, XML reader and district
// walk, as the launcher reads config\zentxmlwtz.htm, held to the table's invariants.
//
// Each input is used twice. As the list file itself, it exercises the hex and envelope
// rejection of damaged lines. As the XML payload, it is sealed with the list's key and
// encoded to a list line first, since a fuzzed line almost never opens (a 7-byte zero
// trailer), and the walk is where hostile lists do harm.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <array>
#include <memory>
#include <string>

#include "common/fuzz_support.h"
#include "corvio/xml/xml_reader.h"
#include "districts/district_walk.h"
#include "districts/envelope.h"
#include "districts/hex.h"
#include "districts/list_document.h"

namespace {

using zentfuzz::Shown;

// What the launcher reads of the file: the first line, at most this many characters.
constexpr size_t kListLineChars = 20479;
constexpr int kEnvelopeFrame = 10;  // header, salt, trailer

struct ReleaseReader {
  void operator()(corvio::XmlReaderImpl* reader) const { reader->Release(0); }
};
using Reader = std::unique_ptr<corvio::XmlReaderImpl, ReleaseReader>;

bool AllZero(const void* data, size_t size) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i)
    if (p[i] != 0) return false;
  return true;
}

// Terminated within its width, and zero after the text, as the walk stores fields.
void CheckField(const char* field, size_t width, const char* what, int slot) {
  const void* end = memchr(field, 0, width);
  FUZZ_CHECK(end != nullptr, std::string(what) + " of slot " + std::to_string(slot) +
                                 " is not terminated within its " + std::to_string(width) +
                                 " bytes");
  const size_t length = static_cast<const char*>(end) - field;
  FUZZ_CHECK(AllZero(field + length, width - length),
             std::string(what) + " of slot " + std::to_string(slot) + " has bytes after its end");
}

// Holds every stored district to its group, its slot and the order of the slots.
class StoreRecorder : public DistrictWalkSink {
 public:
  explicit StoreRecorder(DistrictTable* table) : table_(table) {}

  void OnStored(int32_t group, int slot, DistrictInfo* record) override {
    FUZZ_CHECK(group == Dx || group == Wt, "stored into group " + std::to_string(group));
    FUZZ_CHECK(slot >= 1 && slot <= MaxDistrictsPerGroup,
               "stored into slot " + std::to_string(slot) + ", outside 1..20");
    int& count = group == Dx ? dx : wt;
    FUZZ_CHECK(slot == count + 1, "slot " + std::to_string(slot) + " filled after slot " +
                                      std::to_string(count));
    DistrictInfo* slots = group == Dx ? table_->dxGroup : table_->wtGroup;
    FUZZ_CHECK(record == &slots[slot], "the record handed on is not the slot's own");
    ++count;
  }
  void OnUnusableAddress(int, const char*, const char* url) override {
    FUZZ_CHECK(url && !IsUsableDistrictAddress(url), "a usable address reported unusable");
  }

  int dx = 0;
  int wt = 0;

 private:
  DistrictTable* table_;
};

void CheckGroup(const DistrictInfo* slots, int32_t count, int32_t type, const char* group) {
  FUZZ_CHECK(count >= 0 && count <= MaxDistrictsPerGroup,
             std::string(group) + " count " + std::to_string(count) + " outside 0..20");
  FUZZ_CHECK(AllZero(&slots[0], sizeof slots[0]), std::string(group) + " slot 0 is not empty");
  for (int slot = 1; slot <= count; ++slot) {
    const DistrictInfo& r = slots[slot];
    CheckField(r.name, sizeof r.name, "name", slot);
    CheckField(r.version, sizeof r.version, "version", slot);
    CheckField(r.url, sizeof r.url, "url", slot);
    CheckField(r.pinpip, sizeof r.pinpip, "pinpip", slot);
    FUZZ_CHECK(r.type == type, std::string(group) + " slot " + std::to_string(slot) +
                                   " holds type " + std::to_string(r.type));
    // What the game launcher gets is "url cmdline": a drawn district never splits it.
    FUZZ_CHECK(IsUsableDistrictAddress(r.url),
               std::string(group) + " slot " + std::to_string(slot) + " stores url " + Shown(r.url));
  }
  for (int slot = count + 1; slot <= MaxDistrictsPerGroup; ++slot) {
    FUZZ_CHECK(AllZero(&slots[slot], sizeof slots[slot]),
               std::string(group) + " slot " + std::to_string(slot) + " written beyond the count " +
                   std::to_string(count));
  }
}

struct Walked {
  std::unique_ptr<DistrictTable> table;
  DistrictWalkResult counts;
};

// Loads and walks the XML as the launcher does (checkLengths false) or as the operator's
// tool does (true), on a fresh reader and a zeroed table.
Walked WalkList(const std::string& xml, bool checkLengths) {
  Walked walked{std::unique_ptr<DistrictTable>(new DistrictTable()), {0, 0}};
  Reader reader(new corvio::XmlReaderImpl());
  const bool isList = LoadDistrictList(*reader, xml);
  StoreRecorder recorder(walked.table.get());
  walked.counts = WalkDistrictList(*reader, *walked.table, recorder, checkLengths);
  const DistrictWalkResult& c = walked.counts;
  FUZZ_CHECK(c.dxCount == recorder.dx && c.wtCount == recorder.wt,
             "the counts returned are not the districts stored");
  FUZZ_CHECK(isList || (c.dxCount == 0 && c.wtCount == 0),
             "districts stored from a document that is no list");
  FUZZ_CHECK(AllZero(walked.table->recommendedGroup, sizeof walked.table->recommendedGroup),
             "the recommended group was written");
  CheckGroup(walked.table->dxGroup, c.dxCount, Dx, "dx");
  CheckGroup(walked.table->wtGroup, c.wtCount, Wt, "wt");
  return walked;
}

void CheckWalk(const std::string& xml) {
  const Walked first = WalkList(xml, false);
  const Walked second = WalkList(xml, false);
  FUZZ_CHECK(memcmp(first.table.get(), second.table.get(), sizeof(DistrictTable)) == 0 &&
                 first.counts.dxCount == second.counts.dxCount &&
                 first.counts.wtCount == second.counts.wtCount,
             "a second parse of the same list gives another table");
  // The operator's check reads longer copies of each field; what it stores is the same.
  const Walked checked = WalkList(xml, true);
  FUZZ_CHECK(memcmp(first.table.get(), checked.table.get(), sizeof(DistrictTable)) == 0,
             "the walk that checks lengths stores another table");
}

// The bytes as the launcher's file read gives them: up to the first NUL, the first line
// with its line feed, at most kListLineChars characters.
std::string FirstLine(const std::string& bytes) {
  std::string line = bytes.substr(0, bytes.find('\0'));
  const size_t feed = line.find('\n');
  if (feed != std::string::npos) line.resize(feed + 1);
  if (line.size() > kListLineChars) line.resize(kListLineChars);
  return line;
}

void AsListFile(const std::string& bytes) {
  const std::string line = FirstLine(bytes);
  std::string xml = "not cleared";
  EnvelopeError error = EnvelopeError::None;
  const bool opened = DecryptDistrictList(line, &xml, &error);
  FUZZ_CHECK(EnvelopeErrorText(error) != nullptr, "an envelope error without a text");
  if (!opened) {
    FUZZ_CHECK(xml.empty(), "a list that did not open left XML text behind");
    FUZZ_CHECK(error != EnvelopeError::None, "a list that did not open says no error");
    return;
  }
  FUZZ_CHECK(error == EnvelopeError::None, "an opened list reports an error");
  FUZZ_CHECK(xml.find('\0') == std::string::npos, "the XML text holds a NUL");
  FUZZ_CHECK(xml.size() + kEnvelopeFrame <= line.size() / 2, "more XML than the line can carry");
  CheckWalk(xml);
}

// Seals the bytes in an envelope with fixed header bits, padding and salt, so that the
// same input always makes the same line.
bool SealAsListLine(const std::string& payload, std::string* line) {
  const size_t framed = payload.size() + kEnvelopeFrame;
  const int pad = static_cast<int>((8 - framed % 8) % 8);
  std::string plain;
  plain.push_back(static_cast<char>(0xA8 | pad));
  plain.append(static_cast<size_t>(pad) + 2, '\x5a');
  plain.append(payload);
  plain.append(7, '\0');
  const std::array<unsigned char, 16> key = DistrictListKey();
  std::string cipher;
  FUZZ_CHECK(EncryptEnvelopeStream(plain, key.data(), &cipher), "a framed payload does not encrypt");
  // A list the launcher would cut short cannot be served whole: not this path's business.
  if (cipher.size() * 2 > kListLineChars) return false;
  *line = HexEncode(reinterpret_cast<const unsigned char*>(cipher.data()),
                    static_cast<int16_t>(cipher.size()));
  return true;
}

void AsPayload(const std::string& payload) {
  std::string line;
  if (!SealAsListLine(payload, &line)) return;
  std::string xml;
  EnvelopeError error = EnvelopeError::None;
  FUZZ_CHECK(DecryptDistrictList(line, &xml, &error),
             std::string("a sealed list does not open: ") + EnvelopeErrorText(error));
  FUZZ_CHECK(xml == payload.substr(0, payload.find('\0')),
             "the opened list is not the payload up to its first NUL");
  CheckWalk(xml);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  AsListFile(bytes);
  AsPayload(bytes);
  return 0;
}
