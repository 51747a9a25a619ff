// Hooks that let tests provoke failures of the platform layer that a healthy system
// never shows. Internal to platform/ and its tests.
#pragma once

// The next `count` calls of CreateThread fail with ERROR_NOT_ENOUGH_MEMORY; 0 ends it.
extern "C" void PlatformFailThreadCreation(int count);

// Which ICMP socket IcmpCreateFile may use: 0 the usual choice (datagram, else raw),
// 1 the unprivileged datagram socket only, 2 the raw socket only.
extern "C" void PlatformForceIcmpSocketKind(int kind);
