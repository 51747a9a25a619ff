// The per-test program directory, the stand-in of ModuleDirectory, and list helpers.
#include "tests/app/program_dir_fixture.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "districts/envelope.h"
#include "districts/hex.h"
#include "platform/win32.h"
#include "version/version_file.h"

namespace fs = std::filesystem;

namespace {
std::string g_programDir;
int g_counter = 0;
}  // namespace

void SetTestProgramDirectory(const std::string& windowsForm) { g_programDir = windowsForm; }

// Takes the place of the launcher's own ModuleDirectory in the test programs.
char* ModuleDirectory(char* buffer) {
  if (!buffer) return nullptr;
  memset(buffer, 0, LauncherPathSize);
  snprintf(buffer, LauncherPathSize, "%s", g_programDir.c_str());
  return buffer;
}

void ProgramDirTest::SetUp() {
  fake::ResetWorld();
  char current[1024] = {0};
  GetCurrentDirectoryA(sizeof current, current);
  previous_ = current;
  std::ostringstream name;
  name << "zent-launcher-" << GetCurrentProcessId() << "-" << ++g_counter;
  fs::path path = fs::temp_directory_path() / name.str();
  fs::remove_all(path);
  fs::create_directories(path / "Config");
  dir_ = path.string();
  ASSERT_TRUE(SetCurrentDirectoryA(dir_.c_str()));
  char windows[1024] = {0};
  GetCurrentDirectoryA(sizeof windows, windows);
  windowsDir_ = windows;
  SetTestProgramDirectory(windowsDir_);
  WriteFile("Config/rudadever.htm", "1.0.0\n");  // tests that need it gone remove it
  QuitPosted();
}

void ProgramDirTest::TearDown() {
  SetCurrentDirectoryA(previous_.c_str());
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
  QuitPosted();
}

void ProgramDirTest::WriteFile(const std::string& relative, const std::string& content) {
  fs::path path = fs::path(dir_) / relative;
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

std::string ProgramDirTest::ReadFile(const std::string& relative) {
  std::ifstream in(fs::path(dir_) / relative, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool ProgramDirTest::Exists(const std::string& relative) { return fs::exists(fs::path(dir_) / relative); }

void ProgramDirTest::Remove(const std::string& relative) {
  std::error_code ignored;
  fs::remove(fs::path(dir_) / relative, ignored);
}

void ProgramDirTest::InstallStandIn(const std::string& program) {
  fs::copy_file(fs::path(ZENT_DIST_DIR) / program, fs::path(dir_) / program,
                fs::copy_options::overwrite_existing);
}

bool ProgramDirTest::WaitForArgs(const std::string& program, int ms, std::vector<std::string>* args) {
  const std::string record = program + ".args";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!Exists(record)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::istringstream lines(ReadFile(record));
  std::string line;
  args->clear();
  while (std::getline(lines, line)) args->push_back(line);
  return true;
}

bool ProgramDirTest::QuitPosted() {
  MSG msg;
  bool quit = false;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) quit = true;
  }
  return quit;
}

std::unique_ptr<LauncherDialog> ProgramDirTest::MakeLauncher(bool setUp) {
  auto launcher = std::make_unique<LauncherDialog>();
  if (setUp) launcher->SetUpWindow();
  return launcher;
}

std::string SealList(const std::string& xml) {
  std::string cipher;
  const auto key = DistrictListKey();
  if (!SealEnvelope(xml, key.data(), &cipher)) return std::string();
  return HexEncode(reinterpret_cast<const unsigned char*>(cipher.data()),
                   static_cast<int16_t>(cipher.size()));
}

std::string DistrictXml(const std::string& name, int type, const std::string& url,
                        const std::string& extra) {
  return "<D><name>" + name + "</name><type>" + std::to_string(type) + "</type><url>" + url +
         "</url>" + extra + "</D>";
}
