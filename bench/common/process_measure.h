// Measuring whole program runs from outside: the steady clock shared with the measured
// process, waiting with resource usage, CPU time of every thread, and medians.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "bench/common/stamp_file.h"

namespace bench {

// Waits up to limitMs for the file to appear (polled every millisecond); false on time-out
// or when the process pid ended first.
bool WaitForFile(const std::string& file, pid_t pid, int limitMs);

struct Exit {
  int code = -1;          // exit code, 128+signal, or -1 when killed at the limit
  long peakRssKb = 0;     // the process's peak resident set
  long minorFaults = 0;   // pages it touched first (each a trap into the kernel)
};

// Collects pid, killing it after limitMs.
Exit WaitWithUsage(pid_t pid, int limitMs);

// Collects pid as WaitWithUsage does and reads the stamp it wrote: the milliseconds from
// `start` to its first present, or -1 when it failed or stamped no present.
double WaitForFirstPresent(pid_t pid, const std::string& stampFile, long long start, int limitMs,
                           Exit* exit, std::map<std::string, long long>* stamp);

// CPU time (user and system) of all threads of pid so far, in nanoseconds; -1 when unknown.
long long CpuNanos(pid_t pid);

// Starts argv[0] with argv, standard output and error to /dev/null; the pid or -1.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {});

double Median(std::vector<double> values);

// The launcher benchmarks' command line: "--runs N" into *runs (default 10, at least 1).
// -1 to go on; otherwise the exit status after printing the usage (0 for --help, 2 for
// anything else): "usage: NAME [--runs N]", the sentence they share, then `rest`.
int ParseRuns(int argc, char** argv, const char* name, const char* rest, int* runs);

// "12.3" with one decimal.
std::string Ms(double ms);

}  // namespace bench
