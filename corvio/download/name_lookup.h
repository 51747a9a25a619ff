// A host-name look-up with a time limit and a cancel, for the transfers on Linux: the
// system's resolver cannot be interrupted, so it runs on a thread that is left behind.
#pragma once

#include <string>
#include <vector>

namespace corvio {

class CancelToken;

enum class LookupOutcome { kFound, kNotFound, kTimedOut, kCancelled };

// The addresses of `host` (IPv4 as dotted text, IPv6 in brackets), in the resolver's
// order. A resolver that has not answered within `limitMs`, or a cancel, ends the wait at
// once; its thread then finishes by itself and only touches state it shares with no one
// else. `why` explains kNotFound.
LookupOutcome LookUpName(const std::string& host, long limitMs, CancelToken* cancel,
                         std::vector<std::string>* addresses, std::string* why);

}  // namespace corvio
