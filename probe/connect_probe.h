// The second measure of a district whose echo got no answer: the time a TCP handshake
// with its game address takes.
#pragma once

#include <stddef.h>
#include <stdint.h>

constexpr uint32_t kConnectBudgetMs = 1000;  // look-up and handshake together

// The host and port of a game address "host:port" (an optional "scheme://" before it and
// a "/path" after it are allowed). False, with nothing written, when the host is empty or
// holds a character no host name has, or the port is not a number from 1 to 65535.
bool SplitGameAddress(const char* url, char* host, size_t hostSize, uint16_t* port);

// Resolves `host` (a dotted address at once; a name on a helper thread that is abandoned
// when it does not answer in time) and measures a handshake with `port`, all within
// `budgetMs`. The connection is closed at once, nothing sent. True with the time on a
// completed handshake; false on refusal, time-out or any failure. Needs Windows Sockets
// started.
bool MeasureConnect(const char* host, uint16_t port, uint32_t budgetMs, int32_t& milliseconds);
