// Bounded string routines: every copy into a fixed buffer is bounded and terminated, and
// never splits a double-byte character. Results: 0, or EINVAL (22) / ERANGE (34).
#pragma once

#include <stdarg.h>

constexpr int SafeEinval = 22;
constexpr int SafeErange = 34;

int SafeCopy(char* dst, int size, const char* src);
int SafeCopyN(char* dst, int size, const char* src, int count);
int SafeAppend(char* dst, int size, const char* src);
int SafeVFormat(char* buf, int size, int count, const char* format, va_list args);
int SafeFormat(char* buf, int size, int count, const char* format, ...);

// Multibyte-aware searches in the ANSI code page: a trail byte equal to c never matches.
const char* FindFirstChar(const char* text, char c);
const char* FindLastChar(const char* text, char c);

// The process-wide table through which callers reach the first four routines.
struct SafeStringTable {
  int (*VFormat)(char* buf, int size, int count, const char* format, va_list args);
  int (*Append)(char* dst, int size, const char* src);
  int (*CopyN)(char* dst, int size, const char* src, int count);
  int (*Copy)(char* dst, int size, const char* src);
};
extern const SafeStringTable g_safeString;
