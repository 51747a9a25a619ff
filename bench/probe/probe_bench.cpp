// Times 40 ping workers on 127.0.0.1..127.0.0.40, from the first start until every
// result is stored (median of 20 runs), next to the fping process over the same
// addresses in the same run; then 40 workers whose echo cannot go out, so each measures
// a handshake with a listener on loopback instead (the fallback path).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <unistd.h>
#include <stdio.h>
#include <sys/wait.h>
#include <time.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "districts/district_table.h"
#include "probe/probe_round.h"

extern char** environ;

namespace {

constexpr int kWorkers = 40;
constexpr int kRuns = 20;

double NowMs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string Address(int i) { return "127.0.0." + std::to_string(i); }

// A listener on 127.0.0.1 that accepts and closes every handshake; its "host:port".
std::string StartListener() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof at;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(fd, 128) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length) != 0)
    return "";
  std::thread([fd] {
    for (int c; (c = accept(fd, nullptr, nullptr)) >= 0;) close(c);
  }).detach();
  return "127.0.0.1:" + std::to_string(ntohs(at.sin_port));
}

// One run; -1 when a worker failed or did not finish within 10 s. With `gameUrl`, every
// echo fails at once (a name under "invalid." is never looked up) and the handshake with
// `gameUrl` gives the time.
double TimeWorkers(int* failures, const std::string& gameUrl = "") {
  static DistrictInfo records[kWorkers];
  BeginProbeRound();
  for (int i = 0; i < kWorkers; ++i) {
    records[i] = DistrictInfo{};
    snprintf(records[i].pinpip, sizeof records[i].pinpip, "%s",
             gameUrl.empty() ? Address(i + 1).c_str() : "echo.invalid");
    snprintf(records[i].url, sizeof records[i].url, "%s", gameUrl.c_str());
    StoreLatency(records[i], LatencyPending);
  }
  double start = NowMs();
  for (int i = 0; i < kWorkers; ++i) {
    if (!StartPingWorker(&records[i])) StoreLatency(records[i], LatencyFailed);
  }
  for (int i = 0; i < kWorkers; ++i) {
    while (LoadLatency(records[i]) == LatencyPending) {
      if (NowMs() - start > 10000) return -1;
      timespec pause{0, 50000};  // 50 us: fine enough for a millisecond-scale result
      nanosleep(&pause, nullptr);
    }
    if (LoadLatency(records[i]) == LatencyFailed) ++*failures;
  }
  double elapsed = NowMs() - start;
  while (PingWorkersRunning() > 0) {
    timespec pause{0, 100000};
    nanosleep(&pause, nullptr);
  }
  return elapsed;
}

// Runs fping over the same addresses and times the whole process; -1 if it cannot run.
double TimeFping(const std::vector<std::string>& extra) {
  std::vector<std::string> args = {"fping", "-c1", "-q"};
  args.insert(args.end(), extra.begin(), extra.end());
  for (int i = 1; i <= kWorkers; ++i) args.push_back(Address(i));
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 1, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 1, 0);
  double start = NowMs();
  pid_t pid;
  int rc = posix_spawnp(&pid, "fping", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  double elapsed = NowMs() - start;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? elapsed : -1;
}

}  // namespace

int main() {
  std::vector<double> workers, fping, fpingFast;
  int failures = 0;
  for (int run = 0; run < kRuns; ++run) {
    double w = TimeWorkers(&failures);
    if (w < 0) {
      fprintf(stderr, "probe_bench: run %d did not finish\n", run);
      return 1;
    }
    workers.push_back(w);
    double f = TimeFping({});
    if (f >= 0) fping.push_back(f);
    double ff = TimeFping({"-i", "1"});
    if (ff >= 0) fpingFast.push_back(ff);
  }
  printf("40 ping workers, 127.0.0.1..40, start to all stored: median %.2f ms over %d runs (%d failed probes)\n",
         Median(workers), kRuns, failures);
  if (!fping.empty()) {
    printf("fping -c1 over the same 40 addresses (whole process):    median %.2f ms over %zu runs\n",
           Median(fping), fping.size());
  } else {
    printf("fping -c1: not available\n");
  }
  if (!fpingFast.empty()) {
    printf("fping -c1 -i 1 (1 ms between targets):                  median %.2f ms over %zu runs\n",
           Median(fpingFast), fpingFast.size());
  }
  const std::string listener = StartListener();
  std::vector<double> fallback;
  int fallbackFailures = 0;
  for (int run = 0; run < kRuns && !listener.empty(); ++run) {
    double w = TimeWorkers(&fallbackFailures, listener);
    if (w < 0) {
      fprintf(stderr, "probe_bench: fallback run %d did not finish\n", run);
      return 1;
    }
    fallback.push_back(w);
  }
  if (listener.empty()) {
    fprintf(stderr, "probe_bench: no listener on loopback for the fallback path\n");
    return 1;
  }
  printf("40 workers, echo failing, handshake with %s:      median %.2f ms over %d runs (%d failed probes)\n",
         listener.c_str(), Median(fallback), kRuns, fallbackFailures);
  return failures == 0 && fallbackFailures == 0 ? 0 : 1;
}
