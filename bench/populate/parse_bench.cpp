// Time to turn one list file into the drawn table (in process): read, decrypt, walk 40 districts, probe
// them on loopback, wait and draw, against the launcher tests' component doubles; and the
// signature check of such a list.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include "app/launcher_dialog.h"
#include "components/program_directory.h"
#include "districts/list_signature.h"
#include "platform/win32.h"
#include "tests/app/fake_components.h"
#include "tests/app/program_dir_fixture.h"

namespace {

namespace fs = std::filesystem;

std::string ListOf(int perGroup) {
  std::string xml = "<District>";
  for (int type = 2; type <= 3; ++type)
    for (int i = 1; i <= perGroup; ++i)
      xml += DistrictXml("D" + std::to_string(i), type, "u" + std::to_string(i), "<pinpip>127.0.0.1</pinpip>");
  return xml + "</District>";
}

fs::path HostPath(std::string windowsPath) {
  for (char& c : windowsPath) {
    if (c == '\\') c = '/';
  }
  return fs::path(windowsPath);
}

std::set<fs::path> Entries(const fs::path& dir) {
  std::set<fs::path> names;
  std::error_code ignored;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir, ignored)) names.insert(entry.path());
  return names;
}

// The benchmark's program folder (the stand-in framework library and its Corvio.ini
// beside the program) holds the list while it runs; what the run adds goes afterwards.
void BM_ParseDistrictList(benchmark::State& state) {
  const std::string windowsDir = ProgramDirectory();
  if (windowsDir.empty()) {
    state.SkipWithError("the program folder's path does not fit the launcher's paths");
    return;
  }
  const fs::path dir = HostPath(windowsDir);
  const std::set<fs::path> before = Entries(dir);
  std::error_code error;
  fs::create_directories(dir / "Config", error);
  if (error || !SetCurrentDirectoryA(windowsDir.c_str())) {
    state.SkipWithError(("cannot prepare " + dir.string() + " for the list").c_str());
    return;
  }
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
  for (const fs::path& path : Entries(dir)) {
    if (!before.count(path)) fs::remove_all(path, error);
  }
}
BENCHMARK(BM_ParseDistrictList)->Unit(benchmark::kMillisecond)->Iterations(20);

// The signature check a signed list adds to the parse (target: well under 1 ms).
void BM_VerifyListSignature(benchmark::State& state) {
  const std::string xml = ListOf(20);
  unsigned char seed[ListSeedBytes], key[ListPublicKeyBytes];
  std::string signature;
  if (!NewListSeed(seed) || !ListPublicKeyOf(seed, key) || !SignList(xml, seed, &signature)) {
    state.SkipWithError("cannot sign the list");
    return;
  }
  for (auto _ : state) {
    if (CheckListSignature(xml, signature, key) != SignatureProblem::None) state.SkipWithError("does not hold");
  }
}
BENCHMARK(BM_VerifyListSignature)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
