// The fixed-size district records and the groups they are sorted into. Plain storage:
// records are copied whole; only `latency` is shared with the probe threads.
#pragma once

#include <stdint.h>

enum DistrictGroup : int32_t { Recommended = 1, Dx = 2, Wt = 3 };

constexpr int MaxDistrictsPerGroup = 20;
constexpr int32_t OperStatusMaintenance = 1;
constexpr int32_t LatencyPending = -1;
constexpr int32_t LatencyFailed = 1001;

struct DistrictInfo {
  char name[48];
  char version[48];
  char url[256];
  int32_t type;
  int32_t mart_type;
  int32_t oper_status;
  char pinpip[48];
  int32_t latency;  // one aligned 32-bit value: use LoadLatency / StoreLatency
};

static_assert(sizeof(DistrictInfo) == 416, "the district record is 416 bytes");
static_assert(__builtin_offsetof(DistrictInfo, latency) % 4 == 0, "latency is aligned");

// The probe threads write `latency` while the UI thread polls it: single atomic accesses,
// through the GCC builtins (g++, mingw-w64 g++ and clang all have them), since the record
// must stay a plain struct of fixed layout rather than hold a std::atomic.
inline int32_t LoadLatency(const DistrictInfo& record) {
  return __atomic_load_n(&record.latency, __ATOMIC_ACQUIRE);
}
inline void StoreLatency(DistrictInfo& record, int32_t value) {
  __atomic_store_n(&record.latency, value, __ATOMIC_RELEASE);
}

// Slot 0 of each carrier group stays all zero; districts live in slots 1..20.
struct DistrictTable {
  DistrictInfo recommendedGroup[10];
  DistrictInfo dxGroup[MaxDistrictsPerGroup + 1];
  DistrictInfo wtGroup[MaxDistrictsPerGroup + 1];
};

// Tag image of a promotion mark, or null when mart_type carries no tag.
inline const char* DistrictTagImage(int32_t martType) {
  static const char* const kImages[] = {"item_tuijian.png", "item_new.png", "item_huodong.png",
                                        "item_double.png", "item_bisai.png"};
  return (martType >= 1 && martType <= 5) ? kImages[martType - 1] : nullptr;
}
