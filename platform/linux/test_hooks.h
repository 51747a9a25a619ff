// Hooks that let tests provoke failures of the platform layer that a healthy system
// never shows. Internal to platform/ and its tests.
#pragma once

// The next `count` calls of CreateThread fail with ERROR_NOT_ENOUGH_MEMORY; 0 ends it.
extern "C" void PlatformFailThreadCreation(int count);
