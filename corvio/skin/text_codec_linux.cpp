// GBK <-> UTF-8 through iconv, refusing anything it cannot convert exactly.
#include <errno.h>
#include <iconv.h>

#include <mutex>
#include <vector>

#include "corvio/skin/text_codec_system.h"
#include "corvio/skin/timeline.h"

namespace corvio {
namespace skin {

namespace {

// One descriptor a direction for the process's life: opening one loads iconv's GBK module
// and its tables (a third of a millisecond at start-up), and a descriptor kept open keeps
// them for every later conversion.
struct Converter {
  const char* to;
  const char* from;
  std::mutex lock;
  iconv_t cd = reinterpret_cast<iconv_t>(-1);
};

// Never destroyed: a conversion may still run on another thread while statics go away.
Converter& For(bool toUtf8) {
  static Converter* toUtf8Side = new Converter{"UTF-8", "GBK", {}};
  static Converter* toGbkSide = new Converter{"GBK", "UTF-8", {}};
  return toUtf8 ? *toUtf8Side : *toGbkSide;
}

// With c.lock held: false when iconv cannot convert between the two.
bool Open(Converter& c) {
  if (c.cd == reinterpret_cast<iconv_t>(-1)) c.cd = iconv_open(c.to, c.from);
  return c.cd != reinterpret_cast<iconv_t>(-1);
}

bool Convert(bool toUtf8, const char* in, size_t size, std::string* out) {
  SpanTimer timer("text_convert");
  Converter& c = For(toUtf8);
  std::lock_guard<std::mutex> hold(c.lock);
  if (!Open(c)) return false;
  iconv(c.cd, nullptr, nullptr, nullptr, nullptr);  // the initial state, whatever came before
  std::string converted;
  std::vector<char> buf(size * 2 + 16);
  char* src = const_cast<char*>(in);
  size_t srcLeft = size;
  bool ok = true;
  while (ok && srcLeft > 0) {
    char* dst = buf.data();
    size_t dstLeft = buf.size();
    size_t r = iconv(c.cd, &src, &srcLeft, &dst, &dstLeft);
    converted.append(buf.data(), dst - buf.data());
    // E2BIG only means the buffer is full; EILSEQ and EINVAL are bad input.
    if (r == static_cast<size_t>(-1) && errno != E2BIG) ok = false;
  }
  if (ok) out->append(converted);
  return ok;
}

}  // namespace

bool SystemGbkToUtf8(const char* gbk, size_t size, std::string* out) { return Convert(true, gbk, size, out); }

bool SystemUtf8ToGbk(const char* utf8, size_t size, std::string* out) { return Convert(false, utf8, size, out); }

}  // namespace skin
}  // namespace corvio
