// Hexadecimal text for the district list file and the remembered district address.
#pragma once

#include <stdint.h>

#include <string>

// Two characters per byte, from the start, as long as two remain. A pair is read like a
// "%x" scan (blanks skipped, optional sign, digits up to the first other character); a
// pair without a number repeats the previous byte (0 at the start). A last single
// character is ignored.
std::string HexDecode(const std::string& text);

// Two lowercase digits per byte ("%02x"); a count of 0 or less gives the empty string.
std::string HexEncode(const unsigned char* data, int16_t count);

// For i = 0, 2, 4, ... below the text's length: reads at most two digits at i like a
// "%02x" scan and stores the low 8 bits (0 when no digit is found), so ceil(length / 2)
// bytes. Never writes more than `capacity` bytes; *count is the number written.
void HexDecodeToBuffer(const char* text, unsigned char* out, int16_t* count,
                       int capacity = INT16_MAX);
