// The start-up timeline behind the automation's stamp command.
#include "corvio/skin/timeline.h"

#include <string.h>

#include <chrono>
#include <mutex>

namespace corvio {
namespace skin {

namespace {

// Plain fixed tables: marks are taken on hot paths and from worker threads, and a full
// table drops further names rather than allocating there.
constexpr int kMaxEntries = 32;

struct Entry {
  const char* name;
  int64_t micros;
  int64_t count;
};

struct Table {
  std::mutex mutex;
  Entry entries[kMaxEntries];
  int count = 0;
  Entry* Find(const char* name) {
    for (int i = 0; i < count; ++i)
      if (strcmp(entries[i].name, name) == 0) return &entries[i];
    return nullptr;
  }
};

Table& Marks() {
  static Table table;
  return table;
}

Table& Spans() {
  static Table table;
  return table;
}

std::vector<TimelineEntry> Copy(Table& t) {
  std::lock_guard<std::mutex> lock(t.mutex);
  std::vector<TimelineEntry> out;
  for (int i = 0; i < t.count; ++i)
    out.push_back(TimelineEntry{t.entries[i].name, t.entries[i].micros, t.entries[i].count});
  return out;
}

// The moment the framework library was mapped: everything before it is the program's
// own start and its search for the library.
[[maybe_unused]] const bool kLoadedMark = (MarkPhase("framework_loaded"), true);

}  // namespace

int64_t SteadyMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void MarkPhase(const char* name) {
  const int64_t now = SteadyMicros();
  Table& t = Marks();
  std::lock_guard<std::mutex> lock(t.mutex);
  if (t.Find(name) || t.count == kMaxEntries) return;
  t.entries[t.count++] = Entry{name, now, 1};
}

void AddSpan(const char* name, int64_t micros) {
  Table& t = Spans();
  std::lock_guard<std::mutex> lock(t.mutex);
  if (Entry* e = t.Find(name)) {
    e->micros += micros;
    ++e->count;
  } else if (t.count < kMaxEntries) {
    t.entries[t.count++] = Entry{name, micros, 1};
  }
}

std::vector<TimelineEntry> PhaseMarks() { return Copy(Marks()); }
std::vector<TimelineEntry> SpanTotals() { return Copy(Spans()); }

}  // namespace skin
}  // namespace corvio
