// Fuzz target for the profile functions: string, integer and list reads of any file at
// buffer sizes 0-4096 with guard bytes past the buffer, and a write that keeps every other
// key's value.
//
// Input: section, key, value and default as escaped strings (see FuzzedDataProvider), the
// file's bytes after them; the buffer size, the integer default and whether the file
// exists come from the input's end.
#include <fuzzer/FuzzedDataProvider.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/fuzz_support.h"
#include "platform/linux/codepage.h"
#include "platform/linux/gbk_chars.h"
#include "platform/win32.h"

namespace {

using zentfuzz::Shown;

constexpr char kGuard = '\xA5';
constexpr size_t kGuardBytes = 64;
constexpr DWORD kMaxFuzzedSize = 4096;
const char kMissing[] = "\x01missing";  // a default no file can hold as a value

struct Profile {
  std::string hostPath;
  std::string windowsPath;  // what the calls are given: backslashes, as the launcher writes
};

const Profile& TheProfile() {
  static Profile profile = [] {
    Profile p;
    p.hostPath = zentfuzz::ScratchFolder::Get("profile") + "/fuzz.ini";
    p.windowsPath = p.hostPath;
    for (char& c : p.windowsPath)
      if (c == '/') c = '\\';
    return p;
  }();
  return profile;
}

std::string ReadFileBytes(const std::string& path) {
  std::string bytes;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return bytes;
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, n);
  fclose(f);
  return bytes;
}

void PutFile(const std::string& path, const std::string& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  FUZZ_CHECK(f != nullptr, "cannot write the scratch profile " + path);
  const bool written = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  FUZZ_CHECK(fclose(f) == 0 && written, "cannot write the scratch profile " + path);
}

// One GetPrivateProfileStringA call into a buffer of `size` bytes with guard bytes past it;
// the guard bytes must survive, and size 0 leaves the buffer as it was.
std::string Read(const char* section, const char* key, const char* fallback, DWORD size,
                 const std::string& what) {
  std::vector<char> buffer(size + kGuardBytes, kGuard);
  const DWORD got = GetPrivateProfileStringA(section, key, fallback, buffer.data(), size,
                                             TheProfile().windowsPath.c_str());
  const std::string where = what + " at size " + std::to_string(size);
  for (size_t i = size; i < buffer.size(); ++i)
    FUZZ_CHECK(buffer[i] == kGuard, "byte " + std::to_string(i) + " past the buffer written, " + where);
  if (size == 0) {
    FUZZ_CHECK(got == 0, "size 0 returns " + std::to_string(got) + ", " + where);
    return std::string();
  }
  FUZZ_CHECK(got <= size - 1, "returns " + std::to_string(got) + ", " + where);
  FUZZ_CHECK(buffer[got] == '\0', "the text is not terminated, " + where);
  return std::string(buffer.data(), got);
}

// The complete answer: a buffer larger than any file the fuzzer writes, so nothing is cut.
DWORD FullSize(const std::string& file) { return static_cast<DWORD>(file.size()) + 4096; }

// A value or default: cut at size - 1 at every size.
void CheckValueSizes(const std::string& file, const char* section, const char* key,
                     const char* fallback, DWORD fuzzedSize) {
  const std::string what = "value of [" + Shown(section) + "] " + Shown(key);
  const std::string full = Read(section, key, fallback, FullSize(file), what);
  const DWORD n = static_cast<DWORD>(full.size());
  for (DWORD size : {DWORD{0}, DWORD{1}, DWORD{2}, DWORD{3}, n, n + 1, n + 2, fuzzedSize}) {
    const std::string got = Read(section, key, fallback, size, what);
    if (size == 0) continue;
    FUZZ_CHECK(got == full.substr(0, size - 1),
               what + " at size " + std::to_string(size) + " is " + Shown(got) + ", not the first " +
                   std::to_string(size - 1) + " bytes of " + Shown(full));
  }
}

// A list of names: complete when it fits with its last NUL, else cut to size - 2 bytes
// and ended with two NULs.
void CheckListSizes(const std::string& file, const char* section, DWORD fuzzedSize) {
  const std::string what = section ? "key names of [" + Shown(section) + "]" : "section names";
  const std::string full = Read(section, nullptr, "ignored", FullSize(file), what);
  FUZZ_CHECK(full.empty() || full.back() == '\0', what + " do not end in a NUL: " + Shown(full));
  const DWORD n = static_cast<DWORD>(full.size());
  for (DWORD size : {DWORD{0}, DWORD{1}, DWORD{2}, DWORD{3}, n, n + 1, n + 2, fuzzedSize}) {
    std::vector<char> buffer(size + kGuardBytes, kGuard);
    const DWORD got = GetPrivateProfileStringA(section, nullptr, "ignored", buffer.data(), size,
                                               TheProfile().windowsPath.c_str());
    const std::string where = what + " at size " + std::to_string(size);
    for (size_t i = size; i < buffer.size(); ++i)
      FUZZ_CHECK(buffer[i] == kGuard, "byte " + std::to_string(i) + " past the buffer written, " + where);
    const std::string text(buffer.data(), size < got ? size : got);
    if (size == 0) {
      FUZZ_CHECK(got == 0, "size 0 returns " + std::to_string(got) + ", " + where);
    } else if (n + 1 <= size) {
      FUZZ_CHECK(got == n && text == full && buffer[n] == '\0', "a fitting list comes back otherwise, " + where);
    } else if (size < 2) {
      FUZZ_CHECK(got == 0 && buffer[0] == '\0', "a one-byte list buffer is not emptied, " + where);
    } else {
      FUZZ_CHECK(got == size - 2 && text == full.substr(0, size - 2) && buffer[size - 2] == '\0' &&
                     buffer[size - 1] == '\0',
                 "a cut list is not its first size - 2 bytes and two NULs, " + where);
    }
  }
}

std::vector<std::string> Names(const std::string& list) {
  std::vector<std::string> names;
  size_t start = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i] != '\0') continue;
    names.push_back(list.substr(start, i - start));
    start = i + 1;
  }
  return names;
}

bool IsDecimal(const std::string& text) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

void CheckInteger(const std::string& file, const char* section, const char* key, INT fallback) {
  const UINT got = GetPrivateProfileIntA(section, key, fallback, TheProfile().windowsPath.c_str());
  const std::string what = "integer [" + Shown(section) + "] " + Shown(key) + " = " + std::to_string(got);
  const std::string value = Read(section, key, kMissing, FullSize(file), "integer's value");
  const bool missing = value != Read(section, key, "\x01other", FullSize(file), "integer's value");
  if (missing || value.empty()) {
    FUZZ_CHECK(got == static_cast<UINT>(fallback), what + ", not the default " + std::to_string(fallback));
  } else if (IsDecimal(value)) {
    FUZZ_CHECK(got == static_cast<UINT>(atoi(value.c_str())), what + " for " + Shown(value));
  } else if (value[0] > ' ' && value[0] < 0x7F && value[0] != '+' && value[0] != '-' &&
             (value[0] < '0' || value[0] > '9')) {
    FUZZ_CHECK(got == 0, what + " for " + Shown(value) + ", which starts with no number");
  }
}

// Every value reachable through the name lists: section and key names as listed, each
// pair once.
std::map<std::pair<std::string, std::string>, std::string> Snapshot(const std::string& file) {
  std::map<std::pair<std::string, std::string>, std::string> values;
  const DWORD size = FullSize(file) * 2;
  for (const std::string& s : Names(Read(nullptr, nullptr, "", size, "section names"))) {
    for (const std::string& k : Names(Read(s.c_str(), nullptr, "", size, "key names"))) {
      values.emplace(std::make_pair(s, k), Read(s.c_str(), k.c_str(), kMissing, size, "a value"));
    }
  }
  return values;
}

// As the write stores a name: the text before a line break, without the profile blanks.
std::string AsWritten(const std::string& text) {
  std::string s = text.substr(0, text.find_first_of("\r\n"));
  auto blank = [](char c) { return (c >= 0x09 && c <= 0x0D) || c == ' ' || c == 0x1A; };
  while (!s.empty() && blank(s.back())) s.pop_back();
  size_t start = 0;
  while (start < s.size() && blank(s[start])) ++start;
  return s.substr(start);
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

bool PrintableAscii(const std::string& text) {
  for (char c : text)
    if (c < 0x20 || c > 0x7E) return false;
  return true;
}

// The byte-order mark a file starts with, empty for an ANSI file.
std::string MarkOf(const std::string& bytes) {
  for (const char* mark : {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"}) {
    if (bytes.compare(0, strlen(mark), mark) == 0) return mark;
  }
  return std::string();
}

void CheckWrite(const std::string& file, bool exists, const std::string& section,
                const std::string& key, const std::string& value) {
  const auto before = exists ? Snapshot(file) : decltype(Snapshot(file))();
  const BOOL done = WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                               TheProfile().windowsPath.c_str());
  const std::string after = ReadFileBytes(TheProfile().hostPath);
  const std::string what = "writing [" + Shown(section) + "] " + Shown(key) + "=" + Shown(value);
  // When an input is replayed, the file before and after the write.
  static const bool verbose = getenv("ZENT_FUZZ_VERBOSE") != nullptr;
  if (verbose) {
    fprintf(stderr, "profile fuzzer: %s\n  before: %s\n  after:  %s\n", what.c_str(),
            Shown(file, 4096).c_str(), Shown(after, 4096).c_str());
  }
  FUZZ_CHECK(done, what + " into a writable file fails");
  // A lone lead byte at the end of a section name is dropped: it would swallow the ']'.
  std::string s = AsWritten(section);
  if (!s.empty() && GbkIsLead(static_cast<unsigned char>(s.back()))) {
    size_t i = 0, last = 0;
    while (i < s.size()) i += GbkCharLength(s.data(), s.size(), last = i);
    if (last == s.size() - 1) s = AsWritten(s.substr(0, last));
  }
  const std::string k = AsWritten(key);
  const std::string line = value.substr(0, value.find_first_of("\r\n"));  // stored untrimmed
  const std::string v = AsWritten(value);
  if (!exists && PrintableAscii(s + k + line)) {
    FUZZ_CHECK(after == "[" + s + "]\r\n" + k + "=" + line + "\r\n", what + " makes the file " + Shown(after));
  }
  FUZZ_CHECK(MarkOf(after) == MarkOf(file), what + " changes the byte-order mark");
  // For a file with a mark the names are matched as Unicode: compare them as they come
  // back from it.
  const bool unicode = !MarkOf(file).empty();
  const std::string listedSection = unicode ? PlatformUtf8ToAnsiText(PlatformAnsiToUtf8Text(s)) : s;
  const std::string listedKey = unicode ? PlatformUtf8ToAnsiText(PlatformAnsiToUtf8Text(k)) : k;
  // The pair the write may change: the key as its line will be read, up to any '='. A
  // listed name is looked up without its blanks (a name with a NUL lists as pieces).
  const std::string parsedKey = AsWritten(listedKey.substr(0, listedKey.find('=')));
  auto written = [&](const std::string& es, const std::string& ek) {
    return SameName(AsWritten(es), listedSection) && SameName(AsWritten(ek), parsedKey);
  };
  // "[x]=1" is read back as a section header, on Windows too: the keys after it move to
  // section "x", so this write may hide them.
  if (k.empty() || k[0] != '[') {
    for (const auto& entry : before) {
      const std::string& es = entry.first.first;
      const std::string& ek = entry.first.second;
      if (written(es, ek)) continue;
      const std::string now = Read(es.c_str(), ek.c_str(), kMissing, FullSize(after) * 2, "a value");
      FUZZ_CHECK(now == entry.second, what + " changes [" + Shown(es) + "] " + Shown(ek) + " from " +
                                          Shown(entry.second) + " to " + Shown(now));
    }
    for (const auto& entry : Snapshot(after)) {
      const std::string& es = entry.first.first;
      const std::string& ek = entry.first.second;
      FUZZ_CHECK(written(es, ek) || before.count(entry.first) != 0,
                 what + " adds [" + Shown(es) + "] " + Shown(ek) + "=" + Shown(entry.second));
    }
  }
  // The value written reads back, where names and value are plain text and the key
  // starts no header, no comment and holds no '='.
  if (PrintableAscii(s + k + v) && (k.empty() || (k[0] != '[' && k[0] != ';')) &&
      k.find('=') == std::string::npos) {
    std::string expected = v;
    if (expected.size() > 1 && (expected[0] == '"' || expected[0] == '\'') && expected.back() == expected[0])
      expected = expected.substr(1, expected.size() - 2);
    const std::string now = Read(s.c_str(), k.c_str(), kMissing, FullSize(after) * 2, "the value written");
    FUZZ_CHECK(now == expected, what + " reads back as " + Shown(now));
  }
}

std::string CString(FuzzedDataProvider& input, size_t limit) {
  std::string s = input.ConsumeRandomLengthString(limit);
  return s.substr(0, s.find('\0'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const DWORD fuzzedSize = input.ConsumeIntegralInRange<DWORD>(0, kMaxFuzzedSize);
  const INT intDefault = input.ConsumeIntegral<INT>();
  const bool exists = input.ConsumeIntegralInRange<int>(0, 7) != 7;  // now and then no file
  const std::string section = CString(input, 64);
  const std::string key = CString(input, 64);
  const std::string value = CString(input, 256);
  const std::string fallback = CString(input, 64);
  const std::string file = input.ConsumeRemainingBytesAsString();

  const Profile& profile = TheProfile();
  if (exists) PutFile(profile.hostPath, file);
  else unlink(profile.hostPath.c_str());

  CheckValueSizes(file, section.c_str(), key.c_str(), fallback.c_str(), fuzzedSize);
  CheckListSizes(file, nullptr, fuzzedSize);
  CheckListSizes(file, section.c_str(), fuzzedSize);
  CheckInteger(file, section.c_str(), key.c_str(), intDefault);
  CheckWrite(exists ? file : std::string(), exists, section, key, value);
  return 0;
}
