// What each system gives the instance guard: holding a name for this process, and the
// way a later start reaches the holder's window. linux/instance_hold.cpp (a lock file and
// a socket) and win32/instance_hold.cpp (a named mutex and a posted message) implement it.
#pragma once

#include <stdint.h>

#include <string>

namespace corvio {

struct HeldName;  // the system's hold on one name, kept until ReleaseName

enum class Claim {
  kTaken,          // this process holds the name now: *held is set
  kHeldElsewhere,  // another process holds it; it was asked to bring its window up
  kUnguarded,      // the system's means failed, said on standard error: play unguarded
};

// Asks for the name; `window` is the one a later start brings to the front (0: none yet).
Claim ClaimName(const std::string& name, uint32_t window, HeldName** held);
// The window, as SetMainWindow gave it, that a later start brings to the front.
void SetHeldWindow(HeldName* held, uint32_t window);
// Gives the name up and frees the hold; null does nothing.
void ReleaseName(HeldName* held);

}  // namespace corvio
