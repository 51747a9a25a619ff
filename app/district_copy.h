// Copies a district record whole while its probe thread may still write its latency.
#pragma once

#include <stddef.h>
#include <string.h>

#include "districts/district_table.h"

// Every field by value; the latency through its one atomic read, so the copy never races
// with the probe's store.
inline void CopyDistrictRecord(DistrictInfo* dst, const DistrictInfo* src) {
  memcpy(dst, src, offsetof(DistrictInfo, latency));
  dst->latency = LoadLatency(*src);
}
