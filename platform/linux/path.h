// Translation between the Windows-form paths the launcher uses (backslashes, text of the
// ANSI code page GBK) and host paths (slashes, UTF-8 as Linux file names are), shared by
// every platform function that takes or returns a path. Internal to platform/.
#pragma once

#include <string>

#include "platform/win32.h"

// Windows-form path to host path. Backslashes (and slashes) separate components; a
// leading drive letter ("C:") is dropped, so "C:\opt" is "/opt". The separator scan is
// aware of GBK double-byte characters, so a trail byte 0x5C is part of its character,
// and each component is converted from GBK to UTF-8. A component that does not exist
// under its exact name is matched without regard to ASCII case against the entries of
// its folder; one found nowhere keeps the case given (a new file is created as named).
// Null or "" gives "". A path that is not GBK text fails: false, with
// ERROR_NO_UNICODE_TRANSLATION and a line on standard error naming `function`.
bool PlatformHostPath(const char* function, const char* windowsPath, std::string* host);

// The same for a path that the call requires: null or "" fails with `emptyError` (each
// Windows call has its own code for it) and no line.
bool PlatformRequiredHostPath(const char* function, const char* windowsPath, DWORD emptyError,
                              std::string* host);

// The same for a path relative to the host folder hostBase (an absolute path ignores it).
bool PlatformHostPathIn(const char* function, const std::string& hostBase,
                        const char* windowsPath, std::string* host);

// Host path to Windows form: UTF-8 to GBK, slashes to backslashes ("/opt/zent" ->
// "\opt\zent"). A character without a GBK form fails as PlatformHostPath does: the
// caller never gets a name that would lead somewhere else.
bool PlatformWindowsPath(const char* function, const std::string& hostPath, std::string* windows);

// True if the Windows-form name holds a backslash, a slash or a drive colon (a GBK
// trail byte 0x5C is none).
bool PlatformPathHasSeparator(const char* windowsPath);

// The last component of a Windows-form path (after the last separator or drive colon),
// stepping over GBK double-byte characters whole.
std::string PlatformBaseName(const std::string& windowsPath);

// The last component of a host path (after the last slash).
std::string PlatformHostBaseName(const std::string& hostPath);

// The Windows error code for a failed file call on hostPath with errno err. A missing
// final component gives ERROR_FILE_NOT_FOUND, a missing folder ERROR_PATH_NOT_FOUND.
DWORD PlatformErrorFromErrno(int err, const std::string& hostPath);

// Opens hostPath for reading only when it is a regular file (a symbolic link to one is
// fine): a FIFO would block the open and every read, a device such as /dev/zero never
// ends, a folder holds no text. For anything else one line on standard error names the
// file (once a path for the process) and -1 comes back with errno EACCES; a missing file
// is -1 with ENOENT as usual. The descriptor is blocking and close-on-exec.
int PlatformOpenRegularFile(const char* function, const std::string& hostPath);
