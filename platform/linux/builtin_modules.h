// Modules that LoadLibraryA serves from inside the platform library (such as
// "ICMP.DLL"), matched by base name without regard to case. Internal to platform/.
#pragma once

#include "platform/win32.h"

// lookup returns the named entry point, or null. Registered once, at library load.
void PlatformRegisterBuiltinModule(const char* baseName, FARPROC (*lookup)(const char* name));

// Test hook: while hidden, LoadLibraryA does not find the named built-in module.
extern "C" void PlatformHideBuiltinModule(const char* baseName, int hidden);
