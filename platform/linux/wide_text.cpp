// MultiByteToWideChar and WideCharToMultiByte for the code pages the program uses: the
// ANSI one (GBK, 936; CP_ACP names it too) and UTF-8 (65001). WCHAR text is UTF-16.
#include <string.h>

#include <string>

#include "platform/linux/codepage.h"
#include "platform/linux/gbk_chars.h"
#include "platform/utf8.h"

namespace {

const UINT kGbk = 936;
const UINT kUtf8 = 65001;

bool KnownCodePage(UINT codePage) { return codePage == CP_ACP || codePage == kGbk || codePage == kUtf8; }

void AppendUtf16(uint32_t cp, std::u16string* out) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out->push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out->push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out->push_back(static_cast<char16_t>(cp));
  }
}

// Windows' length rule: -1 means up to and including the terminating zero.
size_t InputLength(const char* text, int length) {
  return length < 0 ? strlen(text) + 1 : static_cast<size_t>(length);
}
size_t InputLength(const WCHAR* text, int length) {
  if (length >= 0) return static_cast<size_t>(length);
  size_t n = 0;
  while (text[n]) ++n;
  return n + 1;
}

}  // namespace

// Undefined or malformed input becomes U+FFFD, as Windows does without
// MB_ERR_INVALID_CHARS; with a zero output size the needed size is returned.
extern "C" int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR text, int length, WCHAR* out,
                                   int outSize) {
  if (!text || !KnownCodePage(codePage) || outSize < 0 || length == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::string in(text, InputLength(text, length));
  std::string utf8;
  if (codePage == kUtf8) {
    utf8 = in;
  } else {
    for (size_t i = 0; i < in.size();) {
      const size_t n = GbkCharLength(in.data(), in.size(), i);
      std::string one;
      utf8 += PlatformAnsiToUtf8(in.substr(i, n), &one) ? one : std::string("\xEF\xBF\xBD");
      i += n;
    }
  }
  std::u16string wide;
  for (size_t i = 0; i < utf8.size();) {
    uint32_t cp = 0xFFFD;
    const size_t n = DecodeUtf8Char(utf8, i, &cp);
    AppendUtf16(n ? cp : 0xFFFD, &wide);
    i += n ? n : 1;
  }
  if (outSize == 0) return static_cast<int>(wide.size());
  if (wide.size() > static_cast<size_t>(outSize) || !out) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  memcpy(out, wide.data(), wide.size() * sizeof(WCHAR));
  return static_cast<int>(wide.size());
}

// A character the code page cannot hold becomes the default character ("?" unless one is
// given) and sets *usedDefault; there is no best-fit mapping, whatever the flags say.
extern "C" int WideCharToMultiByte(UINT codePage, DWORD, const WCHAR* text, int length,
                                   LPSTR out, int outSize, LPCSTR defaultChar,
                                   BOOL* usedDefault) {
  if (!text || !KnownCodePage(codePage) || outSize < 0 || length == 0 ||
      (codePage == kUtf8 && (defaultChar || usedDefault))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (usedDefault) *usedDefault = FALSE;
  const size_t count = InputLength(text, length);
  const std::string fallback = defaultChar ? defaultChar : "?";
  std::string result;
  for (size_t i = 0; i < count; ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // a lone surrogate is no character
    }
    std::string utf8;
    AppendUtf8(cp, &utf8);
    if (codePage == kUtf8) {
      result += utf8;
      continue;
    }
    std::string ansi;
    if (cp != 0xFFFD && PlatformUtf8ToAnsi(utf8, &ansi)) {
      result += ansi;
    } else {
      result += fallback;
      if (usedDefault) *usedDefault = TRUE;
    }
  }
  if (outSize == 0) return static_cast<int>(result.size());
  if (result.size() > static_cast<size_t>(outSize) || !out) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  memcpy(out, result.data(), result.size());
  return static_cast<int>(result.size());
}
