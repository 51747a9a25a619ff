// Time from starting the real launcher, headless, to its district list drawn (all 40
// buttons of a list served on loopback) and the window closed again.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "tests/e2e/launcher_session.h"
#include "tests/e2e/loopback_http_server.h"

namespace {

void BM_StartToListShown(benchmark::State& state) {
  LauncherSession session;
  LoopbackHttpServer server;
  if (!session.ok() || !server.ok()) {
    state.SkipWithError("program directory or loopback server not available");
    return;
  }
  session.ConfigureServer(server.port());
  std::string xml = "<District>";
  for (int type = 2; type <= 3; ++type)
    for (int i = 1; i <= 20; ++i)
      xml += "<D><name>D" + std::to_string(i) + "</name><type>" + std::to_string(type) +
             "</type><pinpip>127.0.0.1</pinpip><url>u" + std::to_string(i) + "</url></D>";
  xml += "</District>";
  server.Serve("/zent/zentxmlwtz.htm", session.EncodeList(xml));
  const std::vector<std::string> script{
      "wait-visible Dialog_ZentPorter\\Container_wt\\server20\\Button 20000", "close"};
  for (auto _ : state) {
    RunResult r = session.Run(script, {}, "", 60000);
    if (r.exitCode != 0) {
      state.SkipWithError(("launcher failed: " + r.errors).c_str());
      break;
    }
  }
}
BENCHMARK(BM_StartToListShown)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
