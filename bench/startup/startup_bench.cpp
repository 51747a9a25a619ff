// Start-up benchmark: from exec to the first present of the launcher's window, headless,
// and its peak RSS, beside a trivial SDL program that opens a window of the same size and
// presents once. Median of N runs of each, taken in turns so both see the same machine,
// and where the launcher's time goes: the phases of its stamp timeline, each as the median
// moment after exec it was reached and the median time since the phase before it.
// ZENT_STARTUP_BASELINE=DIR adds the program directory of another build (an older
// release's dist/, kept aside) as a third program, run in the same turns.
// ZENT_STARTUP_COLD=1 empties the user's cache before each launcher run: every run is then
// a first start (nothing decoded or looked up before), as after installing or a skin change.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/common/process_measure.h"
#include "tests/e2e/launcher_session.h"
#include "tests/e2e/loopback_http_server.h"

namespace {

constexpr double kTargetRatio = 2.0;
constexpr double kStretchRatio = 1.5;
constexpr double kTargetRssMb = 50;

struct Sample {
  double ms = -1;
  double rssMb = 0;
  double faults = 0;  // minor page faults of the whole run
  std::map<std::string, double> phaseMs;  // phase.NAME and span.NAME of the stamp, ms
};

bool Counted(const std::string& key) { return key.size() > 2 && key.compare(key.size() - 2, 2, "_n") == 0; }

// The timeline's entries of a stamp: phases as milliseconds after exec, spans as they are.
void TakeTimeline(const std::map<std::string, long long>& stamp, long long start, Sample* s) {
  for (const auto& kv : stamp) {
    const std::string& key = kv.first;
    if (key.compare(0, 6, "phase.") == 0) s->phaseMs[key] = (kv.second - start) / 1000.0;
    if (key.compare(0, 5, "span.") == 0) s->phaseMs[key] = kv.second / (Counted(key) ? 1.0 : 1000.0);
  }
}

std::string Name(const std::string& key) {
  std::string n = key.substr(key.find('.') + 1);
  return n.size() > 3 && n.compare(n.size() - 3, 3, "_us") == 0 ? n.substr(0, n.size() - 3) : n;
}

// Phases in the order of their median moment, each with the median time since the one
// before; then the spans (work that may run on any thread, so beside, not inside, the phases).
void PrintTimeline(const std::vector<Sample>& runs) {
  std::map<std::string, std::vector<double>> byKey;
  for (const Sample& s : runs)
    for (const auto& kv : s.phaseMs) byKey[kv.first].push_back(kv.second);
  std::vector<std::pair<double, std::string>> phases;
  for (const auto& kv : byKey)
    if (kv.first.compare(0, 6, "phase.") == 0) phases.emplace_back(bench::Median(kv.second), kv.first);
  std::sort(phases.begin(), phases.end());
  if (phases.empty()) return;
  printf("  where the launcher's time goes (medians; phase: reached after exec, time since the previous):\n");
  printf("    %-26s %8s ms\n", "exec", "0.0");
  std::string previous;
  for (const auto& p : phases) {
    std::vector<double> deltas;
    for (const Sample& s : runs) {
      auto at = s.phaseMs.find(p.second);
      auto before = previous.empty() ? s.phaseMs.end() : s.phaseMs.find(previous);
      if (at == s.phaseMs.end()) continue;
      deltas.push_back(at->second - (before == s.phaseMs.end() ? 0 : before->second));
    }
    printf("    %-26s %8s ms   +%s ms\n", Name(p.second).c_str(), bench::Ms(p.first).c_str(),
           bench::Ms(bench::Median(deltas)).c_str());
    previous = p.second;
  }
  bool header = false;
  for (const auto& kv : byKey) {
    if (kv.first.compare(0, 5, "span.") != 0 || Counted(kv.first)) continue;
    if (!header) printf("  of which, on any thread (median total per run, and how many times):\n");
    header = true;
    const std::string name = Name(kv.first);
    auto count = byKey.find("span." + name + "_n");
    printf("    %-26s %8s ms   x %.0f\n", name.c_str(), bench::Ms(bench::Median(kv.second)).c_str(),
           count == byKey.end() ? 0.0 : bench::Median(count->second));
  }
}

// Now on the clock the programs stamp with: under Wine a program's steady clock is the
// system's raw monotonic clock, which runs apart from the adjusted one (here by 0.2 s).
long long StartMicros() {
  if (!LauncherTarget::Current().windows) return bench::SteadyMicros();
  timespec t;
  clock_gettime(CLOCK_MONOTONIC_RAW, &t);
  return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

// Under Wine: the wine program as found on PATH (the launcher's runs use it the same way).
std::string WineProgram() {
  const char* path = getenv("PATH");
  std::string dirs = path ? path : "/usr/bin";
  for (size_t at = 0; at <= dirs.size();) {
    const size_t end = std::min(dirs.find(':', at), dirs.size());
    const std::string candidate = dirs.substr(at, end - at) + "/wine";
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    at = end + 1;
  }
  return "/usr/bin/wine";
}

// The trivial program: SDL's on Linux, a Win32 one under Wine (ZENT_STARTUP_WIN32_FLOOR).
Sample RunFloor(const std::string& stampFile) {
  Sample s;
  remove(stampFile.c_str());
  const LauncherTarget& target = LauncherTarget::Current();
  const char* win32Floor = getenv("ZENT_STARTUP_WIN32_FLOOR");
  const long long start = StartMicros();
  pid_t pid = target.windows ? bench::Spawn({WineProgram(), win32Floor ? win32Floor : "", target.PathForProgram(stampFile)})
                             : bench::Spawn({SDL_FLOOR_PATH, stampFile});
  bench::Exit e;
  std::map<std::string, long long> stamp;
  s.ms = bench::WaitForFirstPresent(pid, stampFile, start, 30000, &e, &stamp);
  if (s.ms < 0) {
    fprintf(stderr, "startup_bench: the trivial program failed (exit %d)\n", e.code);
    return s;
  }
  s.rssMb = e.peakRssKb / 1024.0;
  s.faults = static_cast<double>(e.minorFaults);
  return s;
}

Sample RunLauncher(LauncherSession& session, int run, bool cold) {
  Sample s;
  if (cold) {
    std::error_code ignored;
    std::filesystem::remove_all(session.Root() + "/cache", ignored);
  }
  const std::string tag = "start" + std::to_string(run);
  const std::string stampFile = session.Root() + "/" + tag + ".stamp";
  const long long start = StartMicros();
  int pid = session.Start({"wait-visible Dialog_ZentPorter 20000", "stamp " + stampFile, "close"}, {}, "", tag);
  bench::Exit e;
  std::map<std::string, long long> stamp;
  s.ms = bench::WaitForFirstPresent(pid, stampFile, start, 60000, &e, &stamp);
  if (s.ms < 0) {
    fprintf(stderr, "startup_bench: the launcher failed (exit %d): %s\n", e.code,
            session.ReadFile("../" + tag + ".stderr").c_str());
    return s;
  }
  s.rssMb = e.peakRssKb / 1024.0;
  s.faults = static_cast<double>(e.minorFaults);
  TakeTimeline(stamp, start, &s);
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
  int runs;
  const char* usage =
      "and a trivial SDL program as often, and prints the median time\n"
      "from exec to the first present and the peak RSS of each, and the launcher's\n"
      "start-up phases. ZENT_STARTUP_BASELINE=DIR also runs the program directory\n"
      "DIR (another build's dist/) in the same turns, for a before/after ratio;\n"
      "ZENT_STARTUP_COLD=1 empties the user's cache before each launcher run (first starts).\n"
      "ZENT_E2E_WINDOWS_DIST=DIR and ZENT_STARTUP_WIN32_FLOOR=EXE measure the Windows build\n"
      "under Wine beside a trivial Win32 program instead (on a display, server running).\n";
  const int status = bench::ParseRuns(argc, argv, "startup_bench", usage, &runs);
  if (status >= 0) return status;
  const bool wine = LauncherTarget::Current().windows;
  const char* win32Floor = getenv("ZENT_STARTUP_WIN32_FLOOR");
  if (wine && !(win32Floor && *win32Floor)) {
    fprintf(stderr, "startup_bench: under Wine (ZENT_E2E_WINDOWS_DIST) ZENT_STARTUP_WIN32_FLOOR must name win32_floor.exe\n");
    return 2;
  }
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  const char* baselineDir = getenv("ZENT_STARTUP_BASELINE");
  const bool withBaseline = baselineDir && *baselineDir;
  const char* coldSetting = getenv("ZENT_STARTUP_COLD");
  const bool cold = coldSetting && !strcmp(coldSetting, "1");
  LauncherSession session;
  LauncherSession baseline(withBaseline ? baselineDir : "");
  LoopbackHttpServer server;
  if (!session.ok() || !server.ok() || (withBaseline && !baseline.ok())) {
    fprintf(stderr, "startup_bench: no program directory at %s%s%s or no loopback server\n", ZENT_DIST_DIR,
            withBaseline ? " or " : "", withBaseline ? baselineDir : "");
    return 1;
  }
  session.ConfigureServer(server.port());
  baseline.ConfigureServer(server.port());
  server.Serve("/zent/zentxmlwtz.htm", session.EncodeList(List40()));
  const std::string floorStamp = session.Root() + "/floor.stamp";

  // One run of each first, not counted: it fills the page cache for all.
  RunFloor(floorStamp);
  RunLauncher(session, 0, cold);
  if (withBaseline) RunLauncher(baseline, 0, cold);
  std::vector<double> floorMs, floorRss, floorFaults, launcherMs, launcherRss, launcherFaults, baselineMs, baselineFaults;
  std::vector<Sample> launcherRuns;
  for (int i = 1; i <= runs; ++i) {
    Sample f = RunFloor(floorStamp), l = RunLauncher(session, i, cold);
    Sample b = withBaseline ? RunLauncher(baseline, i, cold) : Sample{};
    if (f.ms < 0 || l.ms < 0 || (withBaseline && b.ms < 0)) {
      fprintf(stderr, "startup_bench: run %d failed (%s)\n", i,
              f.ms < 0 ? "SDL floor" : l.ms < 0 ? "launcher" : "baseline");
      return 1;
    }
    floorMs.push_back(f.ms);
    floorRss.push_back(f.rssMb);
    floorFaults.push_back(f.faults);
    launcherMs.push_back(l.ms);
    launcherRss.push_back(l.rssMb);
    launcherFaults.push_back(l.faults);
    launcherRuns.push_back(l);
    if (withBaseline) {
      baselineMs.push_back(b.ms);
      baselineFaults.push_back(b.faults);
    }
  }
  const double floor = bench::Median(floorMs), launcher = bench::Median(launcherMs);
  const double rss = bench::Median(launcherRss);
  const double ratio = launcher / floor;
  // Under Wine the floor is a Win32 window program, and the launcher is to stay within 1.5x.
  const double target = wine ? kStretchRatio : kTargetRatio;
  // Page faults beside the times: where each first touch of a page traps into a
  // hypervisor, they are much of a start-up.
  printf("Start-up, %s, median of %d runs%s   exec to first present   peak RSS   page faults (whole run)\n",
         wine ? "Windows build under Wine" : "headless", runs, cold ? " (first starts: no cache)" : "    ");
  printf("  trivial %s program, 900x560 window     %8s ms            %6s MB   %6.0f\n", wine ? "Win32" : "SDL  ",
         bench::Ms(floor).c_str(), bench::Ms(bench::Median(floorRss)).c_str(), bench::Median(floorFaults));
  printf("  launcher, 40-district list on loopback    %8s ms            %6s MB   %6.0f\n",
         bench::Ms(launcher).c_str(), bench::Ms(rss).c_str(), bench::Median(launcherFaults));
  if (withBaseline) {
    const double before = bench::Median(baselineMs);
    printf("  baseline %-32s %8s ms   (%.2fx the floor)     %6.0f\n", baselineDir, bench::Ms(before).c_str(),
           before / floor, bench::Median(baselineFaults));
  }
  printf("  launcher / floor: %.2fx (target at most %.1fx: %s; stretch %.1fx: %s); RSS target under %.0f MB: %s\n",
         ratio, target, ratio <= target ? "met" : "MISSED", kStretchRatio,
         ratio <= kStretchRatio ? "met" : "missed", kTargetRssMb, rss < kTargetRssMb ? "met" : "MISSED");
  PrintTimeline(launcherRuns);
  return 0;
}
