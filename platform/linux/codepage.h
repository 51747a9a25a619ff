// Conversion between the ANSI code page that the A functions speak (GBK, code page 936)
// and UTF-8, the encoding of Linux file names, arguments and terminals. Internal to
// platform/.
#pragma once

#include <string>

#include "platform/win32.h"

// Names (paths, module names, arguments): exact or nothing. False when the bytes are not
// valid in the source encoding or a character has no form in the target one, so a name
// never turns into a different one.
bool PlatformAnsiToUtf8(const std::string& ansi, std::string* utf8);
bool PlatformUtf8ToAnsi(const std::string& utf8, std::string* ansi);

// Text (message boxes, profile values): whatever has no form in the target becomes '?',
// as Windows puts its default character.
std::string PlatformAnsiToUtf8Text(const std::string& ansi);
std::string PlatformUtf8ToAnsiText(const std::string& utf8);

// UTF-16 without its byte-order mark, little or big endian, to and from UTF-8; a
// sequence that is not UTF-16 becomes U+FFFD.
std::string PlatformUtf16ToUtf8(const std::string& bytes, bool bigEndian);
std::string PlatformUtf8ToUtf16(const std::string& utf8, bool bigEndian);

// The failure of a call whose name could not be converted: ERROR_NO_UNICODE_TRANSLATION
// for GetLastError, and one line on standard error naming the call and the name (in
// UTF-8 where it is a host name, as far as it can be shown where it is an ANSI one),
// since the caller would otherwise only see a missing file.
void PlatformFailUntranslatable(const char* function, const std::string& name, bool hostName);
