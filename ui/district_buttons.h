// How a district's latency and operating status choose its button's speed icons.
#pragma once

#include <stdint.h>

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
