// Helpers shared by the probe tests: a district record to probe and a bounded wait for
// its result.
#pragma once

#include <string.h>

#include "districts/district_table.h"
#include "platform/win32.h"

inline DistrictInfo ProbeRecord(const char* address) {
  DistrictInfo record;
  memset(&record, 0, sizeof record);
  strncpy(record.pinpip, address, sizeof record.pinpip - 1);
  record.latency = LatencyPending;
  return record;
}

// Waits (up to `limitMs`) until the record holds a result; returns what it holds then.
inline int32_t AwaitLatency(const DistrictInfo& record, DWORD limitMs = 5000) {
  DWORD start = GetTickCount();
  while (LoadLatency(record) == LatencyPending && GetTickCount() - start < limitMs) Sleep(5);
  return LoadLatency(record);
}
