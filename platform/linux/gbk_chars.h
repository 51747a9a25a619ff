// The one rule for characters of the ANSI code page, GBK (code page 936), inside the
// platform layer: which bytes begin a double-byte character and how long a character is.
// Internal to platform/; the rest of the program asks IsDBCSLeadByte/CharNextA/CharPrevA.
#pragma once

#include <stddef.h>

inline bool GbkIsLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
inline bool GbkIsTrail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFE); }

// Length of the character that starts at text[i] in a text of `size` bytes: 2 for a lead
// byte followed by a valid trail byte, else 1 (a lone lead byte stands for itself, so a
// scan never runs past the end).
inline size_t GbkCharLength(const char* text, size_t size, size_t i) {
  return i + 1 < size && GbkIsLead(static_cast<unsigned char>(text[i])) &&
                 GbkIsTrail(static_cast<unsigned char>(text[i + 1]))
             ? 2
             : 1;
}
