// What a ping worker gets from StartPingWorker, and how it hands its result back.
// Internal to probe/.
#pragma once

#include <stdint.h>

#include "districts/district_table.h"

struct ProbeTicket {
  DistrictInfo* record;
  uint64_t round;
  char address[sizeof(DistrictInfo::pinpip)];
  // The game address measured when the echo gets no answer; port 0: no such measure.
  char gameHost[sizeof(DistrictInfo::url)];
  uint16_t gamePort;
};

// Stores `latency` into the ticket's record unless a newer round has begun, and counts
// the worker as finished. Called exactly once per ticket.
void StoreProbeResult(const ProbeTicket& ticket, int32_t latency);
