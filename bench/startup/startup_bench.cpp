// Start-up benchmark: from exec to the first present of the launcher's window, headless,
// and its peak RSS, beside a trivial SDL program that opens a window of the same size and
// presents once. Median of N runs of each, taken in turns so both see the same machine.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "bench/common/process_measure.h"
#include "tests/e2e/launcher_session.h"
#include "tests/e2e/loopback_http_server.h"

namespace {

constexpr double kTargetRatio = 1.5;
constexpr double kTargetRssMb = 50;

struct Sample {
  double ms = -1;
  double rssMb = 0;
};

Sample RunFloor(const std::string& stampFile) {
  Sample s;
  remove(stampFile.c_str());
  const long long start = bench::SteadyMicros();
  pid_t pid = bench::Spawn({SDL_FLOOR_PATH, stampFile});
  bench::Exit e = bench::WaitWithUsage(pid, 30000);
  auto stamp = bench::ReadStamp(stampFile);
  if (e.code != 0 || !stamp.count("first_present_us")) return s;
  s.ms = (stamp["first_present_us"] - start) / 1000.0;
  s.rssMb = e.peakRssKb / 1024.0;
  return s;
}

Sample RunLauncher(LauncherSession& session, int run) {
  Sample s;
  const std::string tag = "start" + std::to_string(run);
  const std::string stampFile = session.Root() + "/" + tag + ".stamp";
  const long long start = bench::SteadyMicros();
  int pid = session.Start({"wait-visible Dialog_ZentPorter 20000", "stamp " + stampFile, "close"}, {}, "", tag);
  bench::Exit e = bench::WaitWithUsage(pid, 60000);
  auto stamp = bench::ReadStamp(stampFile);
  if (e.code != 0 || !stamp.count("first_present_us")) {
    fprintf(stderr, "startup_bench: the launcher failed (exit %d): %s\n", e.code,
            session.ReadFile("../" + tag + ".stderr").c_str());
    return s;
  }
  s.ms = (stamp["first_present_us"] - start) / 1000.0;
  s.rssMb = e.peakRssKb / 1024.0;
  return s;
}

std::string List40() {
  std::string xml = "<District>";
  for (int type = 2; type <= 3; ++type)
    for (int i = 1; i <= 20; ++i)
      xml += "<D><name>D" + std::to_string(i) + "</name><type>" + std::to_string(type) +
             "</type><pinpip>127.0.0.1</pinpip><url>u" + std::to_string(i) + "</url></D>";
  return xml + "</District>";
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 10;
  const char* usage =
      "usage: startup_bench [--runs N]\n"
      "Starts the launcher of the build's program directory N times (default 10),\n"
      "headless, and a trivial SDL program as often, and prints the median time\n"
      "from exec to the first present and the peak RSS of each.\n";
  if (int status = bench::ParseRuns(argc, argv, usage, &runs); status >= 0) return status;
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  LauncherSession session;
  LoopbackHttpServer server;
  if (!session.ok() || !server.ok()) {
    fprintf(stderr, "startup_bench: no program directory at %s or no loopback server\n", ZENT_DIST_DIR);
    return 1;
  }
  session.ConfigureServer(server.port());
  server.Serve("/zent/zentxmlwtz.htm", session.EncodeList(List40()));
  const std::string floorStamp = session.Root() + "/floor.stamp";

  // One run of each first, not counted: it fills the page cache for both.
  RunFloor(floorStamp);
  RunLauncher(session, 0);
  std::vector<double> floorMs, floorRss, launcherMs, launcherRss;
  for (int i = 1; i <= runs; ++i) {
    Sample f = RunFloor(floorStamp), l = RunLauncher(session, i);
    if (f.ms < 0 || l.ms < 0) {
      fprintf(stderr, "startup_bench: run %d failed (%s)\n", i, f.ms < 0 ? "SDL floor" : "launcher");
      return 1;
    }
    floorMs.push_back(f.ms);
    floorRss.push_back(f.rssMb);
    launcherMs.push_back(l.ms);
    launcherRss.push_back(l.rssMb);
  }
  const double floor = bench::Median(floorMs), launcher = bench::Median(launcherMs);
  const double rss = bench::Median(launcherRss);
  const double ratio = launcher / floor;
  printf("Start-up, headless, median of %d runs       exec to first present   peak RSS\n", runs);
  printf("  trivial SDL program, 900x560 window       %8s ms            %6s MB\n",
         bench::Ms(floor).c_str(), bench::Ms(bench::Median(floorRss)).c_str());
  printf("  launcher, 40-district list on loopback    %8s ms            %6s MB\n",
         bench::Ms(launcher).c_str(), bench::Ms(rss).c_str());
  printf("  launcher / floor: %.2fx (target at most %.1fx: %s); RSS target under %.0f MB: %s\n", ratio,
         kTargetRatio, ratio <= kTargetRatio ? "met" : "MISSED", kTargetRssMb,
         rss < kTargetRssMb ? "met" : "MISSED");
  return 0;
}
