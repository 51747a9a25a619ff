// Populate benchmark: from exec to the last of 40 district buttons drawn (20 of each
// carrier, each probed on its own loopback address), and the CPU the launcher takes in
// the 2 s after. The floor, taken in the same run and in turns: the same program with a
// list of no districts to its first present, plus one fetch of the list with curl.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "bench/common/process_measure.h"
#include "tests/e2e/launcher_session.h"
#include "tests/e2e/loopback_http_server.h"

namespace {

constexpr double kTargetOverFloorMs = 30;
constexpr double kTargetIdleCpuPercent = 1;
constexpr int kIdleWindowMs = 2000;
const char kLastButton[] = "Dialog_ZentPorter\\Container_wt\\server20\\Button";
const char kListPath[] = "/zent/zentxmlwtz.htm";

std::string ListOf(int perGroup) {
  std::string xml = "<District>";
  for (int type = 2; type <= 3; ++type)
    for (int i = 1; i <= perGroup; ++i) {
      const int n = (type - 2) * perGroup + i;  // 127.0.0.1 .. 127.0.0.40
      xml += "<D><name>D" + std::to_string(i) + "</name><type>" + std::to_string(type) +
             "</type><pinpip>127.0.0." + std::to_string(n) + "</pinpip><url>u" + std::to_string(n) +
             "</url></D>";
    }
  return xml + "</District>";
}

struct Site {
  LauncherSession session;
  LoopbackHttpServer server;
  bool Ready(const std::string& xml) {
    if (!session.ok() || !server.ok()) return false;
    session.ConfigureServer(server.port());
    const std::string list = session.EncodeList(xml);
    if (list.empty()) return false;
    server.Serve(kListPath, list);
    return true;
  }
  std::string Errors(const std::string& tag) { return session.ReadFile("../" + tag + ".stderr"); }
};

struct Full {
  double ms = -1;
  double idleCpuPercent = -1;
};

// exec -> last button drawn, then the CPU over the idle window while the script sleeps.
Full RunFull(Site& site, int run) {
  Full r;
  const std::string tag = "full" + std::to_string(run);
  const std::string stampFile = site.session.Root() + "/" + tag + ".stamp";
  const int sleepMs = kIdleWindowMs + 500;
  const long long start = bench::SteadyMicros();
  int pid = site.session.Start({std::string("wait-visible ") + kLastButton + " 20000", "stamp " + stampFile,
                                "sleep " + std::to_string(sleepMs), "close"},
                               {}, "", tag);
  if (bench::WaitForFile(stampFile, pid, 30000)) {
    auto stamp = bench::ReadStamp(stampFile);
    const long long cpu0 = bench::CpuNanos(pid), t0 = bench::SteadyMicros();
    usleep(kIdleWindowMs * 1000);
    const long long cpu1 = bench::CpuNanos(pid), t1 = bench::SteadyMicros();
    r.ms = (stamp["last_present_us"] - start) / 1000.0;
    if (cpu0 >= 0 && cpu1 >= cpu0) r.idleCpuPercent = 100.0 * (cpu1 - cpu0) / ((t1 - t0) * 1000.0);
  }
  bench::Exit e = bench::WaitWithUsage(pid, 30000);
  if (e.code != 0) {
    fprintf(stderr, "populate_bench: the launcher failed (exit %d): %s\n", e.code, site.Errors(tag).c_str());
    r.ms = -1;
  }
  return r;
}

// exec -> first present with a list of no districts.
double RunEmpty(Site& site, int run) {
  const std::string tag = "empty" + std::to_string(run);
  const std::string stampFile = site.session.Root() + "/" + tag + ".stamp";
  const long long start = bench::SteadyMicros();
  int pid = site.session.Start({"wait-visible Dialog_ZentPorter 20000", "stamp " + stampFile, "close"}, {}, "", tag);
  bench::Exit e;
  std::map<std::string, long long> stamp;
  const double ms = bench::WaitForFirstPresent(pid, stampFile, start, 30000, &e, &stamp);
  if (ms < 0) {
    fprintf(stderr, "populate_bench: the empty launcher failed (exit %d): %s\n", e.code, site.Errors(tag).c_str());
  }
  return ms;
}

// exec -> exit of one curl fetch of the list.
double RunCurl(Site& site) {
  const std::string url = "http://127.0.0.1:" + std::to_string(site.server.port()) + kListPath;
  const long long start = bench::SteadyMicros();
  pid_t pid = bench::Spawn({"/usr/bin/curl", "-sf", "-o", "/dev/null", url});
  bench::Exit e = bench::WaitWithUsage(pid, 30000);
  return e.code == 0 ? (bench::SteadyMicros() - start) / 1000.0 : -1;
}

}  // namespace

int main(int argc, char** argv) {
  int runs;
  const char* usage =
      "on a 40-district list served on loopback, and prints the median time\n"
      "from exec to the last button drawn and the CPU it takes in the 2 s after,\n"
      "beside the floor: the launcher on an empty list plus one curl fetch.\n";
  const int status = bench::ParseRuns(argc, argv, "populate_bench", usage, &runs);
  if (status >= 0) return status;
  if (access("/usr/bin/curl", X_OK) != 0) {
    fprintf(stderr, "populate_bench: /usr/bin/curl is missing (scripts/deps installs it)\n");
    return 1;
  }
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  Site full, empty;
  if (!full.Ready(ListOf(20)) || !empty.Ready("<District></District>")) {
    fprintf(stderr, "populate_bench: no program directory at %s or no loopback server\n", ZENT_DIST_DIR);
    return 1;
  }
  // One of each first, not counted: it fills the page cache.
  RunFull(full, 0);
  RunEmpty(empty, 0);
  RunCurl(empty);
  std::vector<double> fullMs, idle, emptyMs, curlMs, floorMs;
  for (int i = 1; i <= runs; ++i) {
    Full f = RunFull(full, i);
    const double e = RunEmpty(empty, i), c = RunCurl(empty);
    if (f.ms < 0 || e < 0 || c < 0) {
      fprintf(stderr, "populate_bench: run %d failed\n", i);
      return 1;
    }
    fullMs.push_back(f.ms);
    if (f.idleCpuPercent >= 0) idle.push_back(f.idleCpuPercent);
    emptyMs.push_back(e);
    curlMs.push_back(c);
    floorMs.push_back(e + c);
  }
  const double populate = bench::Median(fullMs), floor = bench::Median(floorMs);
  const double over = populate - floor;
  printf("Populate, headless, median of %d runs\n", runs);
  printf("  40 districts: exec to last button drawn      %8s ms\n", bench::Ms(populate).c_str());
  printf("  floor: empty list to first present + curl    %8s ms  (%s + %s)\n", bench::Ms(floor).c_str(),
         bench::Ms(bench::Median(emptyMs)).c_str(), bench::Ms(bench::Median(curlMs)).c_str());
  printf("  over the floor: %s ms (target within %.0f ms: %s)\n", bench::Ms(over).c_str(),
         kTargetOverFloorMs, over <= kTargetOverFloorMs ? "met" : "MISSED");
  if (idle.empty()) {
    printf("  idle CPU: not measurable here (no /proc/PID/task/*/schedstat)\n");
  } else {
    const double cpu = bench::Median(idle);
    printf("  idle CPU in the %d ms after: %.2f %% (target under %.0f %%: %s)\n", kIdleWindowMs, cpu,
           kTargetIdleCpuPercent, cpu < kTargetIdleCpuPercent ? "met" : "MISSED");
  }
  return 0;
}
