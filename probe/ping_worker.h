// The latency probe of one district: one ICMP echo on a thread of its own, its time
// stored in the district record.
#pragma once

#include <stdint.h>

#include "platform/win32.h"

// Thread entry. `ticket` comes from StartPingWorker (probe_round.h) and is owned by the
// worker; null returns at once. Always exits with 0.
DWORD WINAPI PingWorker(LPVOID ticket);

// Starts Windows Sockets for itself, probes once and shuts Windows Sockets down again.
// Once the start-up succeeded `milliseconds` is 0, and the echo time on success; true
// only when an echo reply came back.
bool PingHost(const char* address, int32_t& milliseconds);

// The probe itself; needs Windows Sockets started. On success writes the echo time;
// on failure leaves `milliseconds` as it was. An empty address, or one with a
// character no host name has, fails without a look-up.
bool SendIcmpEcho(const char* address, int32_t& milliseconds);
