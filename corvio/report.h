// How the framework speaks: one reporting function for its run-time failures, and the one
// guard that keeps an exception from crossing an interface boundary.
#pragma once

#include <string>
#include <type_traits>

namespace corvio {

// Writes "prefix line" as one line to standard error and to the debugger output (on Linux
// the debugger output is standard error, so it is written once). An empty prefix leaves the
// line as it is, for the skin's "file:line: reason" texts.
void Report(const char* prefix, const std::string& line);

// The same with a printf format, formatted into a bounded buffer (a longer line is cut), so
// it also serves where allocating may be what failed.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void ReportF(const char* prefix, const char* format, ...);

// Runs f at an interface boundary (an exported call, a window procedure, a thread's body,
// a callback into the program): whatever f throws ends here, as onFailure.
template <class F>
auto Guarded(F f, decltype(f()) onFailure) noexcept -> decltype(f()) {
  try {
    return f();
  } catch (...) {
    return onFailure;
  }
}

// The same for work that gives nothing back: false when it threw.
template <class F, class = std::enable_if_t<std::is_void<decltype(std::declval<F&>()())>::value>>
bool Guarded(F f) noexcept {
  try {
    f();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace corvio
