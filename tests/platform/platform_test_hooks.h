// Failure hooks for tests of the platform layer and of the code above it. They live in a
// test-only library (zent_platform_test_hooks) that takes the place of calls underneath
// the platform library (thread creation, ICMP sockets) or in front of it (modules), so
// the product's library carries no test seam. Linux only.
#pragma once

#include "platform/win32.h"

extern "C" {

// The next `count` threads that the platform layer starts (CreateThread) fail as when
// the system has no room for one: ERROR_NOT_ENOUGH_MEMORY. 0 ends it.
void PlatformFailThreadCreation(int count);

// Which ICMP socket IcmpCreateFile may open: 0 any (datagram, else raw), 1 the
// unprivileged datagram socket only, 2 the raw socket only. The other kind is refused
// as the system refuses it to an unprivileged user.
void PlatformForceIcmpSocketKind(int kind);

// Serves a stand-in for the module of this base name (case-insensitive, ".dll" when
// there is no extension): LoadLibraryA and GetModuleHandleA of the bare name give it,
// GetProcAddress asks `lookup`, FreeLibrary counts it down. A null lookup removes the
// stand-in, and the platform's own module is found again.
void PlatformRegisterBuiltinModule(const char* baseName, FARPROC (*lookup)(const char* name));

// While hidden, LoadLibraryA and GetModuleHandleA of the bare name fail with
// ERROR_MOD_NOT_FOUND, as for a module that is not installed.
void PlatformHideBuiltinModule(const char* baseName, int hidden);

}  // extern "C"
