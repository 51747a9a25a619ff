// Path helpers of the component loader: where the executable lives, which Corvio.ini is
// in force after redirection, and which file the factory library is. Internal to
// components/; every path buffer holds 260 bytes including the terminating NUL.
#pragma once

#include "components/program_directory.h"
#include "components/safe_string.h"  // FindFirstChar, FindLastChar
#include "platform/win32.h"

constexpr char kFactorySection[] = "361";  // the factory's ComponentId in decimal
typedef char LoaderPath[LauncherPathSize];

// Absolute redirections followed from one Corvio.ini before the chain is cut off: a
// file that redirects to itself, directly or through others, would loop for ever.
constexpr int kMaxConfigRedirects = 16;

// True if path contains ':' anywhere or starts with a backslash; "/x" is relative.
bool IsAbsolutePath(const char* path);

// Up to and including the last backslash; without any backslash, up to and including
// the last '/'; with neither, the whole path and a backslash. A prefix that does not fit
// leaves out empty (and only the backslash follows in the last case).
void DirectoryPart(const char* path, LoaderPath& out);

// Reads a profile value into 1024 bytes and trims spaces and tabs at both ends; out gets
// the result only if it is shorter than outSize, and is empty otherwise.
void ReadTrimmedString(const char* file, const char* section, const char* key,
                       const char* defaultValue, char* out, int outSize);

// Follows the [Redirect] Path chain from configFile to the configuration in force. A
// relative redirection ends the chain; after kMaxConfigRedirects absolute ones the last
// file reached is used and the cut is reported on the debugger output.
void ResolveConfigFile(const char* configFile, LoaderPath& out);

// The library path for a relative DLL name, from NotUseDefaultDllPath and DllPath.
void BuildLibraryPath(const char* configFile, const char* dllName, LoaderPath& out);

// The factory library: the module already loaded as "CorvFact.dll", or the one that
// Corvio.ini names, loaded now. Null on failure, with the reason kept for
// LastFactoryLibrary(); the caller reports it. (loader.cpp)
HMODULE LoadFactoryLibrary();
