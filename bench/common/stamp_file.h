// The automation's stamp file as the benchmarks and the automation's test read it: lines
// of key=value, times in microseconds of the steady clock that SteadyMicros reads here.
#pragma once

#include <stdlib.h>

#include <chrono>
#include <fstream>
#include <map>
#include <string>

namespace bench {

// Microseconds of the steady clock (CLOCK_MONOTONIC on Linux): the clock the stamp uses.
inline long long SteadyMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The key=value lines of a stamp file; empty when it is missing or unreadable.
inline std::map<std::string, long long> ReadStamp(const std::string& file) {
  std::map<std::string, long long> values;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = strtoll(line.c_str() + eq + 1, nullptr, 10);
  }
  return values;
}

}  // namespace bench
