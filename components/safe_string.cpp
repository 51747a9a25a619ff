// Bounded copies, appends and formatting into fixed char buffers, always terminated and
// never leaving half of a double-byte character at the end of what they wrote.
#include "components/safe_string.h"

#include <stdio.h>
#include <string.h>

#include "platform/win32.h"

namespace {

// Length of text[0..length) without a trailing lead byte whose trail byte is cut off.
// Walks from the start because lead and trail bytes share a range in the code page;
// text holds no NUL before length, so CharNextA never reads past text[length].
int WholeCharacterLength(const char* text, int length) {
  int i = 0;
  while (i < length) {
    if (i + 1 == length) return IsDBCSLeadByte(static_cast<BYTE>(text[i])) ? i : length;
    i += static_cast<int>(CharNextA(text + i) - (text + i));
  }
  return length;
}

// Length of text, looking at no more than limit bytes (limit when there is no NUL).
int BoundedLength(const char* text, int limit) {
  const void* end = memchr(text, 0, static_cast<size_t>(limit));
  return end ? static_cast<int>(static_cast<const char*>(end) - text) : limit;
}

}  // namespace

int SafeCopy(char* dst, int size, const char* src) {
  if (size == 0) return SafeErange;
  if (!dst || !src || size < 0) return SafeEinval;
  const int length = BoundedLength(src, size);
  if (length >= size) return SafeErange;
  const int keep = WholeCharacterLength(src, length);
  memmove(dst, src, static_cast<size_t>(keep));
  dst[keep] = '\0';
  return 0;
}

int SafeCopyN(char* dst, int size, const char* src, int count) {
  if (!dst || !src || size <= 0 || count <= 0) return SafeEinval;
  if (count > size - 1) {
    dst[0] = '\0';
    return SafeEinval;
  }
  const int available = BoundedLength(src, count);
  const int keep = WholeCharacterLength(src, available);
  memmove(dst, src, static_cast<size_t>(keep));
  // Bytes beyond the end of src, and a lead byte whose trail was not copied, read as zero.
  memset(dst + keep, 0, static_cast<size_t>(count - keep));
  dst[count] = '\0';
  return 0;
}

int SafeAppend(char* dst, int size, const char* src) {
  if (size == 0) return SafeErange;
  if (!dst || !src || size < 0) return SafeEinval;
  const int used = BoundedLength(dst, size);
  if (used >= size) return SafeErange;  // dst holds no terminated text: nothing fits
  const int room = size - used;
  const int length = BoundedLength(src, room);
  if (length >= room) return SafeErange;
  const int keep = WholeCharacterLength(src, length);
  memmove(dst + used, src, static_cast<size_t>(keep));
  dst[used + keep] = '\0';
  return 0;
}

int SafeVFormat(char* buf, int size, int count, const char* format, va_list args) {
  if (!buf || !format || size <= 0) return -1;
  if (count <= 0 && count != -1) return -1;
  const int limit = (count != -1 && count <= size - 1) ? count : size - 1;
  const int written = vsnprintf(buf, static_cast<size_t>(limit) + 1, format, args);
  buf[limit] = '\0';
  if (written < 0) {
    buf[0] = '\0';
    return -1;
  }
  if (written > limit) {
    // A cut output must not end in the first half of a double-byte character.
    buf[WholeCharacterLength(buf, limit)] = '\0';
    return -1;
  }
  return written;
}

int SafeFormat(char* buf, int size, int count, const char* format, ...) {
  if (count <= 0) return -1;
  va_list args;
  va_start(args, format);
  const int result = SafeVFormat(buf, size, count, format, args);
  va_end(args);
  return result;
}

const SafeStringTable g_safeString = {SafeVFormat, SafeAppend, SafeCopyN, SafeCopy};

// Stepping by the code page's own rule (CharNextA), so characters split exactly as the
// system splits them and a trail byte is never looked at on its own.
const char* FindFirstChar(const char* text, char c) {
  for (const char* p = text; *p; p = CharNextA(p)) {
    if (*p == c) return p;
  }
  return nullptr;
}

const char* FindLastChar(const char* text, char c) {
  const char* found = nullptr;
  for (const char* p = text; *p; p = CharNextA(p)) {
    if (*p == c) found = p;
  }
  return found;
}
