// How a district's latency and operating status choose its button's speed icons.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "components/interfaces.h"
#include "districts/district_table.h"

enum class SpeedBand { Down, Fast, Normal, Slow };

// Tested in order: down (maintenance), fast (<= 70 ms), normal (71..200), slow (> 200).
// A pending probe (-1) is fast and a failed one (1001) slow.
SpeedBand ChooseSpeedBand(int32_t operStatus, int32_t latency);

struct SpeedIcons {
  const char* normal;
  const char* hover;
  const char* pressed;
};
SpeedIcons SpeedBandIcons(SpeedBand band);

// A district button's tooltip: its name, one space, then "32 ms", "测速中…" (a negative
// latency: still measuring) or "无响应" (LatencyFailed and above), GBK, cut to `size`.
void DistrictTooltip(const char* name, int32_t latency, char* out, size_t size);

// The path of a district button ("Dialog_ZentPorter\Container_dx\server3\Button");
// false for a group without buttons.
bool DistrictButtonPath(int32_t group, int32_t position, char* out, size_t size);

// Shows `latency` on an already drawn district button: the speed icons of its band (only
// when `icons`) and the tooltip. Caption, selection and focus stay. False when the button
// or a component is missing.
bool ShowDistrictLatency(SkinDialog* skin, int32_t group, int32_t position,
                         const DistrictInfo& district, int32_t latency, bool icons);
