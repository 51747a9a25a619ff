// Process measurements for the start-up and populate benchmarks (Linux).
#include "bench/common/process_measure.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>

extern char** environ;

namespace bench {

bool WaitForFile(const std::string& file, pid_t pid, int limitMs) {
  const long long deadline = SteadyMicros() + static_cast<long long>(limitMs) * 1000;
  struct stat st;
  while (SteadyMicros() < deadline) {
    if (stat(file.c_str(), &st) == 0) return true;
    int status;
    if (waitpid(pid, &status, WNOHANG | WNOWAIT) == pid) return false;
    usleep(1000);
  }
  return false;
}

Exit WaitWithUsage(pid_t pid, int limitMs) {
  Exit result;
  if (pid <= 0) return result;
  const long long deadline = SteadyMicros() + static_cast<long long>(limitMs) * 1000;
  int status = 0;
  rusage usage{};
  for (;;) {
    pid_t done = wait4(pid, &status, WNOHANG, &usage);
    if (done == pid) {
      result.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
    if (done < 0) return result;
    if (SteadyMicros() > deadline) {
      kill(pid, SIGKILL);
      wait4(pid, &status, 0, &usage);
      result.code = -1;
      break;
    }
    usleep(2000);
  }
  result.peakRssKb = usage.ru_maxrss;
  result.minorFaults = usage.ru_minflt;
  return result;
}

double WaitForFirstPresent(pid_t pid, const std::string& stampFile, long long start, int limitMs,
                           Exit* exit, std::map<std::string, long long>* stamp) {
  *exit = WaitWithUsage(pid, limitMs);
  *stamp = ReadStamp(stampFile);
  if (exit->code != 0 || !stamp->count("first_present_us")) return -1;
  return ((*stamp)["first_present_us"] - start) / 1000.0;
}

long long CpuNanos(pid_t pid) {
  // Per-thread schedstat gives nanoseconds; /proc/PID/stat only clock ticks (10 ms).
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  DIR* dir = opendir(tasks.c_str());
  if (!dir) return -1;
  long long total = 0;
  bool any = false;
  while (dirent* e = readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    std::ifstream in(tasks + "/" + e->d_name + "/schedstat");
    long long run = 0;
    if (in >> run) {
      total += run;
      any = true;
    }
  }
  closedir(dir);
  return any ? total : -1;
}

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) env.push_back(*e);
  for (const auto& e : extraEnv) env.push_back(e);
  std::vector<char*> envp, args;
  for (auto& e : env) envp.push_back(&e[0]);
  envp.push_back(nullptr);
  std::vector<std::string> store = argv;
  for (auto& a : store) args.push_back(&a[0]);
  args.push_back(nullptr);
  pid_t pid = fork();
  if (pid != 0) return pid;
  int null = open("/dev/null", O_RDWR);
  if (null >= 0) {
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
  }
  execve(args[0], args.data(), envp.data());
  _exit(127);
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int ParseRuns(int argc, char** argv, const char* name, const char* rest, int* runs) {
  *runs = 10;
  for (int i = 1; i < argc; ++i) {
    if (!strcmp(argv[i], "--runs") && i + 1 < argc) {
      *runs = atoi(argv[++i]);
      continue;
    }
    printf("usage: %s [--runs N]\n"
           "Starts the launcher of the build's program directory N times (default 10),\n"
           "headless, %s", name, rest);
    return strcmp(argv[i], "--help") ? 2 : 0;
  }
  if (*runs < 1) *runs = 1;
  return -1;
}

std::string Ms(double ms) {
  char text[32];
  snprintf(text, sizeof text, "%.1f", ms);
  return text;
}

}  // namespace bench
