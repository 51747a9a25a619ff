// The one system header of the launcher: the Windows API subset it calls, by its
// Windows names. On Windows this is the real API; elsewhere it is our own implementation
// of the same calls with the behaviour Windows gives them (platform/linux/).
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <windows.h>
#include <shellapi.h>
#include <iphlpapi.h>
#include <icmpapi.h>
#include <mbstring.h>
#include <stdio.h>
#include <objidl.h>
#include <gdiplus.h>
#else
#include "platform/linux/win32_linux.h"
#endif

#include <stdio.h>

// Portable additions with no Windows API of their own name.

// Opens a file with a Windows-form path. Modes without 'b' are text mode as the Windows C
// runtime has it: reading turns CR LF into LF and stops at 0x1A; writing turns LF into
// CR LF. On Linux the path's backslashes become slashes and each component is matched
// without regard to case when the exact name does not exist.
FILE* PlatformOpenFile(const char* path, const char* mode);
