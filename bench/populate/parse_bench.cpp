// Time to turn one list file into the drawn table (in process): read, decrypt, walk 40 districts, probe
// them on loopback, wait and draw, against the component doubles of the unit tests.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/launcher_dialog.h"
#include "platform/win32.h"
#include "tests/app/fake_components.h"
#include "tests/app/program_dir_fixture.h"

namespace {

std::string ListOf(int perGroup) {
  std::string xml = "<District>";
  for (int type = 2; type <= 3; ++type)
    for (int i = 1; i <= perGroup; ++i)
      xml += DistrictXml("D" + std::to_string(i), type, "u" + std::to_string(i), "<pinpip>127.0.0.1</pinpip>");
  return xml + "</District>";
}

void BM_ParseDistrictList(benchmark::State& state) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("zent-populate-" + std::to_string(GetCurrentProcessId()));
  fs::create_directories(dir / "Config");
  SetCurrentDirectoryA(dir.string().c_str());
  char windows[1024] = {0};
  GetCurrentDirectoryA(sizeof windows, windows);
  SetTestProgramDirectory(windows);
  {
    std::ofstream(dir / "Config" / "zentxmlwtz.htm", std::ios::binary) << SealList(ListOf(20)) << "\n";
    std::ofstream(dir / "Config" / "rudadever.htm", std::ios::binary) << "1.0.0\n";
  }
  fake::ResetWorld();
  auto launcher = std::make_unique<LauncherDialog>();
  launcher->SetUpWindow();
  for (auto _ : state) {
    fake::TheWorld().applies.clear();
    launcher->ParseDistrictList("config\\zentxmlwtz.htm");
    benchmark::DoNotOptimize(launcher->wtCount);
  }
  state.counters["districts"] = launcher->dxCount + launcher->wtCount;
  launcher.reset();
  std::error_code ignored;
  fs::remove_all(dir, ignored);
}
BENCHMARK(BM_ParseDistrictList)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
