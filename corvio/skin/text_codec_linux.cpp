// GBK <-> UTF-8 through iconv, refusing anything it cannot convert exactly.
#include <errno.h>
#include <iconv.h>

#include <vector>

#include "corvio/skin/text_codec_system.h"
#include "corvio/skin/timeline.h"

namespace corvio {
namespace skin {

namespace {

bool Convert(const char* to, const char* from, const char* in, size_t size, std::string* out) {
  SpanTimer timer("text_convert");
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string converted;
  std::vector<char> buf(size * 2 + 16);
  char* src = const_cast<char*>(in);
  size_t srcLeft = size;
  bool ok = true;
  while (ok && srcLeft > 0) {
    char* dst = buf.data();
    size_t dstLeft = buf.size();
    size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    converted.append(buf.data(), dst - buf.data());
    // E2BIG only means the buffer is full; EILSEQ and EINVAL are bad input.
    if (r == static_cast<size_t>(-1) && errno != E2BIG) ok = false;
  }
  iconv_close(cd);
  if (ok) out->append(converted);
  return ok;
}

}  // namespace

bool SystemGbkToUtf8(const char* gbk, size_t size, std::string* out) {
  return Convert("UTF-8", "GBK", gbk, size, out);
}

bool SystemUtf8ToGbk(const char* utf8, size_t size, std::string* out) {
  return Convert("GBK", "UTF-8", utf8, size, out);
}

}  // namespace skin
}  // namespace corvio
