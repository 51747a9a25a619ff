// Translation between the Windows-form paths the launcher uses and host paths, shared by
// every platform function that takes or returns a path. Internal to platform/.
#pragma once

#include <string>

#include "platform/win32.h"

// Windows-form path to host path. Backslashes (and slashes) separate components; a
// leading drive letter ("C:") is dropped, so "C:\opt" is "/opt". Each component that
// does not exist under its exact name is matched without regard to ASCII case against
// the entries of its folder; a component found nowhere keeps the case given (a new file
// is created as named). The separator scan is aware of GBK double-byte characters, so a
// trail byte 0x5C is part of its character, not a separator. Null gives "".
std::string PlatformHostPath(const char* windowsPath);

// Host path to Windows form: slashes become backslashes ("/opt/zent" -> "\opt\zent").
std::string PlatformWindowsPath(const std::string& hostPath);

// True if the Windows-form name holds a backslash, a slash or a drive colon.
bool PlatformPathHasSeparator(const char* windowsPath);

// The last component of a Windows-form or host path (after the last separator).
std::string PlatformBaseName(const std::string& path);

// The Windows error code for a failed file call on hostPath with errno err. A missing
// final component gives ERROR_FILE_NOT_FOUND, a missing folder ERROR_PATH_NOT_FOUND.
DWORD PlatformErrorFromErrno(int err, const std::string& hostPath);

// Case-insensitive comparison of two names, ASCII letters only, stepping over GBK
// double-byte characters whole.
bool PlatformNamesEqual(const std::string& a, const std::string& b);
