// The walk over "District"/"D" elements that fills the carrier groups of the table.
#include "districts/district_walk.h"

#include <stdio.h>
#include <string.h>

const char DefaultGameSiteUrl[] = "http://www.zent.example.com/";

bool IsUsableDistrictAddress(const char* url) {
  if (!url) return false;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(url); *p; ++p) {
    // Byte by byte is exact in GBK: no trail byte lies below 0x40 or is 0x7F.
    if (*p <= ' ' || *p == 0x7F || *p == '"' || *p == '\'') return false;
  }
  return true;
}

namespace {

// Buffer sizes the fields are read with; text beyond size - 1 bytes is cut.
constexpr int kNameSize = 48;
constexpr int kVersionSize = 16;
constexpr int kTypeSize = 8;
constexpr int kMartTypeSize = 7;
constexpr int kOperStatusSize = 7;
constexpr int kPinpipSize = 48;
constexpr int kUrlSize = 256;
// Large enough to tell how far a field overflows its stored width.
constexpr int kCheckSize = 4096;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Decimal conversion as atoi does it, clamped instead of overflowing.
int32_t ToNumber(const char* text) {
  const char* p = text;
  while (IsBlank(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  long long value = 0;
  while (*p >= '0' && *p <= '9') {
    if (value < 2147483648LL) value = value * 10 + (*p - '0');
    ++p;
  }
  if (negative) value = -value;
  if (value > 2147483647LL) value = 2147483647LL;
  if (value < -2147483648LL) value = -2147483648LL;
  return static_cast<int32_t>(value);
}

// Copies text into a record field and fills the rest of the field with zeros.
void StoreText(char* field, size_t width, const char* text) {
  memset(field, 0, width);
  size_t length = strnlen(text, width - 1);
  memcpy(field, text, length);
}

// One district's fields as read, each zero-filled past its text.
struct Fields {
  char name[kNameSize];
  char version[kVersionSize];
  char type[kTypeSize];
  char martType[kMartTypeSize];
  char operStatus[kOperStatusSize];
  char pinpip[kPinpipSize];
  char url[kUrlSize];
  int32_t typeValue;
  int32_t martValue;
  int32_t operValue;
};

class Walker {
 public:
  Walker(XmlReader& reader, DistrictWalkSink& sink, bool checkLengths)
      : reader_(reader), sink_(sink), check_(checkLengths) {}

  DistrictWalkResult Run(DistrictTable& table) {
    DistrictWalkResult counts = {0, 0};
    reader_.ResetToTop();
    if (!reader_.FindElement("District")) return counts;
    reader_.EnterElement();
    while (reader_.FindElement("D")) {
      ++index_;
      reader_.EnterElement();
      if (WalkDistrict(table, counts)) {
        reader_.RewindLevel();
        reader_.RewindLevel();
        reader_.LeaveElement();
      } else {
        SkipDistrict();
      }
    }
    return counts;
  }

 private:
  // Reads the entered "D" and stores it in its group's next slot; false when skipped.
  bool WalkDistrict(DistrictTable& table, DistrictWalkResult& counts) {
    Fields fields = {};
    if (!ReadFields(&fields)) return false;
    int32_t* count = nullptr;
    DistrictInfo* group = GroupOf(fields, table, counts, &count);
    if (group == nullptr || !ReadUsableUrl(&fields)) return false;
    const int slot = ++*count;
    DistrictInfo& record = group[slot];
    Store(fields, &record);
    sink_.OnStored(fields.typeValue, slot, &record);
    return true;
  }

  // Every field but the url, with the defaults of missing ones; false when the district
  // has no name.
  bool ReadFields(Fields* f) {
    if (!reader_.FindElement("name")) {
      Problem("no \"name\": the district is skipped");
      return false;
    }
    ReadText("name", f->name, kNameSize, false);
    if (!ReadChild("version", f->version, kVersionSize, false)) StoreText(f->version, sizeof f->version, "1.0.0");
    f->typeValue = ReadChild("type", f->type, kTypeSize, true) ? ToNumber(f->type) : Dx;
    f->martValue = ReadChild("mart_type", f->martType, kMartTypeSize, true) ? ToNumber(f->martType) : 0;
    f->operValue = ReadChild("oper_status", f->operStatus, kOperStatusSize, true) ? ToNumber(f->operStatus) : 0;
    ReadChild("pinpip", f->pinpip, kPinpipSize, false);
    return true;
  }

  // The group the type names, with its count; null when the type names none or the
  // group is full.
  DistrictInfo* GroupOf(const Fields& f, DistrictTable& table, DistrictWalkResult& counts,
                        int32_t** count) {
    DistrictInfo* group = nullptr;
    if (f.typeValue == Dx) {
      group = table.dxGroup;
      *count = &counts.dxCount;
    } else if (f.typeValue == Wt) {
      group = table.wtGroup;
      *count = &counts.wtCount;
    }
    char message[120];
    if (group == nullptr) {
      snprintf(message, sizeof message, "type \"%s\" (read as %d) is not 2 or 3: the district is skipped",
               f.type, static_cast<int>(f.typeValue));
      Problem(message);
      return nullptr;
    }
    if (**count >= MaxDistrictsPerGroup) {
      snprintf(message, sizeof message, "group %s already holds %d districts: the district is skipped",
               f.typeValue == Dx ? "dx" : "wt", MaxDistrictsPerGroup);
      Problem(message);
      return nullptr;
    }
    return group;
  }

  // The url, the game site's when there is none; read only for a district that has a
  // place, and false when it would split into more arguments.
  bool ReadUsableUrl(Fields* f) {
    if (!ReadChild("url", f->url, kUrlSize, false)) StoreText(f->url, sizeof f->url, DefaultGameSiteUrl);
    if (IsUsableDistrictAddress(f->url)) return true;
    Problem("url holds a blank, a quote or a control character: the district is skipped");
    sink_.OnUnusableAddress(index_, f->name, f->url);
    return false;
  }

  // Latency stays as the slot held it.
  static void Store(const Fields& f, DistrictInfo* record) {
    record->type = f.typeValue;
    record->mart_type = f.martValue;
    record->oper_status = f.operValue;
    StoreText(record->name, sizeof record->name, f.name);
    StoreText(record->version, sizeof record->version, f.version);
    StoreText(record->url, sizeof record->url, f.url);
    StoreText(record->pinpip, sizeof record->pinpip, f.pinpip);
  }

  // Reads the current element's text into buffer; reports overlong text when checking.
  void ReadText(const char* field, char* buffer, int size, bool numeric) {
    memset(buffer, 0, static_cast<size_t>(size));
    reader_.GetElementText(buffer, size);
    buffer[size - 1] = '\0';
    if (!check_) return;
    char full[kCheckSize];
    memset(full, 0, sizeof full);
    reader_.GetElementText(full, kCheckSize);
    full[kCheckSize - 1] = '\0';
    const size_t length = strlen(full);
    if (length > static_cast<size_t>(size - 1)) {
      char message[200];
      snprintf(message, sizeof message, "%s is %s%u characters long; only the first %d are %s",
               field, length >= kCheckSize - 1 ? "at least " : "",
               static_cast<unsigned>(length), size - 1, numeric ? "read" : "stored");
      Problem(message);
    }
  }

  // Rewinds the district's children and reads one named child, if there is one.
  bool ReadChild(const char* name, char* buffer, int size, bool numeric) {
    reader_.RewindLevel();
    if (!reader_.FindElement(name)) return false;
    ReadText(name, buffer, size, numeric);
    return true;
  }

  void Problem(const char* what) {
    if (check_) sink_.OnProblem(index_, what);
  }

  void SkipDistrict() {
    reader_.RewindLevel();
    reader_.LeaveElement();
  }

  XmlReader& reader_;
  DistrictWalkSink& sink_;
  bool check_;
  int index_ = 0;
};

}  // namespace

DistrictWalkResult WalkDistrictList(XmlReader& reader, DistrictTable& table,
                                    DistrictWalkSink& sink, bool checkLengths) {
  Walker walker(reader, sink, checkLengths);
  return walker.Run(table);
}
