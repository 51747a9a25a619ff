// Modules that LoadLibraryA serves from inside the platform library, matched by base
// name without regard to case (module.cpp keeps the table). Internal to platform/: not
// exported, so nothing outside this library can add or replace one.
#pragma once

#include "platform/win32.h"

// "ICMP.DLL": the named entry point of icmp.cpp (exact names, as GetProcAddress has
// them), or null.
__attribute__((visibility("hidden"))) FARPROC PlatformIcmpLookup(const char* name);
