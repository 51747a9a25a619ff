// GBK <-> UTF-8 through UTF-16 with the system's code page 936 tables, refusing bytes
// that are no character and characters that code page 936 does not have.
#include <limits.h>

#include <vector>

#include "corvio/skin/text_codec_system.h"
#include "platform/win32.h"

namespace corvio {
namespace skin {

namespace {

constexpr UINT kGbk = 936;

bool ToWide(UINT codePage, const char* in, size_t size, std::vector<wchar_t>* wide) {
  if (size > static_cast<size_t>(INT_MAX / 2)) return false;
  const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in, static_cast<int>(size),
                                    nullptr, 0);
  if (n <= 0) return false;
  wide->resize(static_cast<size_t>(n));
  return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in, static_cast<int>(size),
                             wide->data(), n) == n;
}

// lpUsedDefaultChar must be null for UTF-8; for 936 it tells of a character it lacks.
bool FromWide(UINT codePage, const std::vector<wchar_t>& wide, std::string* out) {
  const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* used = codePage == CP_UTF8 ? nullptr : &usedDefault;
  const int w = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(codePage, flags, wide.data(), w, nullptr, 0, nullptr, used);
  if (n <= 0 || usedDefault) return false;
  std::string bytes(static_cast<size_t>(n), '\0');
  if (WideCharToMultiByte(codePage, flags, wide.data(), w, &bytes[0], n, nullptr, used) != n ||
      usedDefault)
    return false;
  out->append(bytes);
  return true;
}

bool Convert(UINT from, UINT to, const char* in, size_t size, std::string* out) {
  if (size == 0) return true;
  std::vector<wchar_t> wide;
  return ToWide(from, in, size, &wide) && FromWide(to, wide, out);
}

}  // namespace

bool SystemGbkToUtf8(const char* gbk, size_t size, std::string* out) {
  return Convert(kGbk, CP_UTF8, gbk, size, out);
}

bool SystemUtf8ToGbk(const char* utf8, size_t size, std::string* out) {
  return Convert(CP_UTF8, kGbk, utf8, size, out);
}

}  // namespace skin
}  // namespace corvio
