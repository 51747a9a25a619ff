// Where the start-up's time goes: the moment each phase is first reached and the time spent
// in named pieces of work (on any thread), on the steady clock, for the automation's stamp.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace corvio {
namespace skin {

// Microseconds of the steady clock (the system's monotonic clock, which the stamp uses).
int64_t SteadyMicros();

// Keeps the time of the first call for each name; later calls are ignored.
void MarkPhase(const char* name);
// Adds microseconds to a named piece of work (a font look-up, an image decode).
void AddSpan(const char* name, int64_t micros);

struct TimelineEntry {
  std::string name;
  int64_t micros;  // a phase: when it was reached; a span: its total
  int64_t count;   // a span: how many pieces of work it adds up
};

// Every phase reached, in the order reached, and every span with its total.
std::vector<TimelineEntry> PhaseMarks();
std::vector<TimelineEntry> SpanTotals();

// Times the scope it lives in into a span.
class SpanTimer {
 public:
  explicit SpanTimer(const char* name) : name_(name), start_(SteadyMicros()) {}
  ~SpanTimer() { AddSpan(name_, SteadyMicros() - start_); }
  SpanTimer(const SpanTimer&) = delete;
  SpanTimer& operator=(const SpanTimer&) = delete;

 private:
  const char* name_;
  int64_t start_;
};

}  // namespace skin
}  // namespace corvio
