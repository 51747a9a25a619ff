// GBK <-> UTF-8 (and UTF-16 <-> UTF-8) through iconv, exact for names and lenient for
// text, with one descriptor per direction and thread.
#include "platform/linux/codepage.h"

#include <errno.h>
#include <iconv.h>
#include <stdio.h>

#include "platform/linux/gbk_chars.h"
#include "platform/linux/report.h"
#include "platform/utf8.h"

namespace {

enum Direction { kAnsiToUtf8, kUtf8ToAnsi, kUtf16LeToUtf8, kUtf16BeToUtf8, kUtf8ToUtf16Le,
                 kUtf8ToUtf16Be, kDirections };

struct Charsets {
  const char* from;
  const char* to;
  const char* replacement;  // in the target encoding
  size_t replacementSize;
};
const Charsets kCharsets[kDirections] = {
    {"GBK", "UTF-8", "?", 1},
    {"UTF-8", "GBK", "?", 1},
    {"UTF-16LE", "UTF-8", "\xEF\xBF\xBD", 3},
    {"UTF-16BE", "UTF-8", "\xEF\xBF\xBD", 3},
    {"UTF-8", "UTF-16LE", "?\0", 2},
    {"UTF-8", "UTF-16BE", "\0?", 2},
};

const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);

// iconv descriptors carry state, so each thread keeps its own.
struct Descriptors {
  iconv_t cd[kDirections];
  Descriptors() {
    for (iconv_t& c : cd) c = kNoDescriptor;
  }
  ~Descriptors() {
    for (iconv_t c : cd) {
      if (c != kNoDescriptor) iconv_close(c);
    }
  }
  Descriptors(const Descriptors&) = delete;
  Descriptors& operator=(const Descriptors&) = delete;
};

iconv_t Descriptor(Direction d) {
  static thread_local Descriptors t;
  iconv_t& cd = t.cd[d];
  if (cd == kNoDescriptor) {
    cd = iconv_open(kCharsets[d].to, kCharsets[d].from);
    if (cd == kNoDescriptor) {
      // Without the system's conversion modules no non-ASCII name can be used at all.
      PlatformReport("platform: iconv cannot convert %s to %s on this system", kCharsets[d].from,
              kCharsets[d].to);
    }
    return cd;
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  return cd;
}

// Bytes of the input character that could not be converted, to step over it.
size_t SkipLength(Direction d, const char* at, size_t left) {
  if (d == kAnsiToUtf8) return GbkCharLength(at, left, 0);
  if (d == kUtf16LeToUtf8 || d == kUtf16BeToUtf8) return left >= 2 ? 2 : left;
  // A character GBK lacks is stepped over whole, a malformed byte alone.
  uint32_t cp = 0;
  const size_t length = DecodeUtf8Char(at, left, 0, &cp);
  return length ? length : 1;
}

bool IsAscii(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// Strict: false at the first sequence that cannot be converted. Lenient: that sequence
// becomes the direction's replacement character and the conversion goes on.
bool Convert(Direction d, const std::string& in, std::string* out, bool lenient) {
  out->clear();
  iconv_t cd = Descriptor(d);
  if (cd == kNoDescriptor) return false;
  char* src = const_cast<char*>(in.data());
  size_t left = in.size();
  char buffer[1024];
  while (left > 0) {
    char* dst = buffer;
    size_t room = sizeof buffer;
    const size_t rc = iconv(cd, &src, &left, &dst, &room);
    out->append(buffer, static_cast<size_t>(dst - buffer));
    if (rc != static_cast<size_t>(-1) || errno == E2BIG) continue;
    if (!lenient) return false;  // EILSEQ, or EINVAL for a sequence cut at the end
    out->append(kCharsets[d].replacement, kCharsets[d].replacementSize);
    const size_t skip = SkipLength(d, src, left);
    src += skip;
    left -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  return true;
}

}  // namespace

bool PlatformAnsiToUtf8(const std::string& ansi, std::string* utf8) {
  if (IsAscii(ansi)) {
    *utf8 = ansi;
    return true;
  }
  return Convert(kAnsiToUtf8, ansi, utf8, false);
}

bool PlatformUtf8ToAnsi(const std::string& utf8, std::string* ansi) {
  if (IsAscii(utf8)) {
    *ansi = utf8;
    return true;
  }
  return Convert(kUtf8ToAnsi, utf8, ansi, false);
}

std::string PlatformAnsiToUtf8Text(const std::string& ansi) {
  if (IsAscii(ansi)) return ansi;
  std::string out;
  if (!Convert(kAnsiToUtf8, ansi, &out, true)) return std::string(ansi.size(), '?');
  return out;
}

std::string PlatformUtf8ToAnsiText(const std::string& utf8) {
  if (IsAscii(utf8)) return utf8;
  std::string out;
  if (!Convert(kUtf8ToAnsi, utf8, &out, true)) return std::string(utf8.size(), '?');
  return out;
}

std::string PlatformUtf16ToUtf8(const std::string& bytes, bool bigEndian) {
  std::string out;
  Convert(bigEndian ? kUtf16BeToUtf8 : kUtf16LeToUtf8, bytes, &out, true);
  return out;
}

std::string PlatformUtf8ToUtf16(const std::string& utf8, bool bigEndian) {
  std::string out;
  Convert(bigEndian ? kUtf8ToUtf16Be : kUtf8ToUtf16Le, utf8, &out, true);
  return out;
}

void PlatformFailUntranslatable(const char* function, const std::string& name, bool hostName) {
  if (hostName) {
    PlatformReport("%s: \"%s\" holds a character that the ANSI code page (GBK) cannot hold",
            function, name.c_str());
  } else {
    PlatformReport("%s: \"%s\" is not text of the ANSI code page (GBK)", function,
            PlatformAnsiToUtf8Text(name).c_str());
  }
  SetLastError(ERROR_NO_UNICODE_TRANSLATION);
}
