// Character helpers of the ANSI code page, GBK (code page 936), by the rule of
// gbk_chars.h: a lead byte without a valid trail byte after it stands alone, so a search
// never runs past the end of the text.
#include <string.h>

#include "platform/linux/gbk_chars.h"
#include "platform/win32.h"

namespace {

// Length of the character at p, inside a NUL-terminated text and not at its NUL (so
// p[1] can be read: it is the trail byte or the NUL).
size_t CharLength(const unsigned char* p) {
  return GbkCharLength(reinterpret_cast<const char*>(p), 2, 0);
}

unsigned int CharValue(const unsigned char* p, size_t length) {
  return length == 2 ? (static_cast<unsigned int>(p[0]) << 8) | p[1] : p[0];
}

}  // namespace

extern "C" BOOL IsDBCSLeadByte(BYTE c) { return GbkIsLead(c) ? TRUE : FALSE; }

// At the terminating NUL the pointer stays where it is.
extern "C" LPSTR CharNextA(LPCSTR p) {
  if (!p) return nullptr;
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  if (!*u) return const_cast<LPSTR>(p);
  return const_cast<LPSTR>(p + CharLength(u));
}

// Steps from start to the character before p; at or before start it returns start.
extern "C" LPSTR CharPrevA(LPCSTR start, LPCSTR p) {
  if (!start || !p || p <= start) return const_cast<LPSTR>(start);
  const auto* u = reinterpret_cast<const unsigned char*>(start);
  const auto* end = reinterpret_cast<const unsigned char*>(p);
  while (*u) {
    const unsigned char* next = u + CharLength(u);
    if (next >= end) break;
    u = next;
  }
  return reinterpret_cast<LPSTR>(const_cast<unsigned char*>(u));
}

// c may be a double-byte character (lead << 8 | trail); 0 finds the terminating NUL.
extern "C" unsigned char* _mbschr(const unsigned char* text, unsigned int c) {
  if (!text) return nullptr;
  for (const unsigned char* p = text;; ) {
    if (!*p) return c == 0 ? const_cast<unsigned char*>(p) : nullptr;
    const size_t length = CharLength(p);
    if (CharValue(p, length) == c) return const_cast<unsigned char*>(p);
    p += length;
  }
}

extern "C" unsigned char* _mbsrchr(const unsigned char* text, unsigned int c) {
  if (!text) return nullptr;
  const unsigned char* found = nullptr;
  for (const unsigned char* p = text;; ) {
    if (!*p) return const_cast<unsigned char*>(c == 0 ? p : found);
    const size_t length = CharLength(p);
    if (CharValue(p, length) == c) found = p;
    p += length;
  }
}

// Matches start only at character boundaries, so a needle never matches the trail
// byte of one character and the lead byte of the next.
extern "C" unsigned char* _mbsstr(const unsigned char* text, const unsigned char* needle) {
  if (!text || !needle) return nullptr;
  const size_t needleLength = strlen(reinterpret_cast<const char*>(needle));
  if (needleLength == 0) return const_cast<unsigned char*>(text);
  for (const unsigned char* p = text; *p; p += CharLength(p)) {
    if (strncmp(reinterpret_cast<const char*>(p), reinterpret_cast<const char*>(needle), needleLength) == 0) {
      return const_cast<unsigned char*>(p);
    }
  }
  return nullptr;
}
