// The launcher tests' program directory (the test program's folder, cleared for each
// test), the message box capture, and list helpers.
#include "tests/app/program_dir_fixture.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "components/program_directory.h"
#include "districts/envelope.h"
#include "districts/hex.h"
#include "platform/win32.h"

namespace fs = std::filesystem;

namespace {

// Written by the build beside each launcher test program: only such a folder is cleared.
const char kMarker[] = "launcher-test-program-dir";

fs::path HostPath(const std::string& windowsPath) {
  std::string text = windowsPath;
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  return fs::path(text);
}

// Everything the launcher or a test left behind goes; the program, its stand-in
// framework library, its Corvio.ini and the marker stay.
bool ClearProgramDirectory(const fs::path& dir, std::string* why) {
  if (!fs::exists(dir / kMarker)) {
    *why = dir.string() + " is not a launcher test program directory (no " + kMarker + ")";
    return false;
  }
  char self[MAX_PATH] = {0};
  GetModuleFileNameA(nullptr, self, sizeof self);
  const std::set<std::string> keep = {HostPath(self).filename().string(), "Corvio.ini", kMarker,
                                      "LauncherFact.so", "LauncherFact.dll", "libLauncherFact.dll.a"};
  // A stand-in started by the previous test may still be ending (Windows keeps a running
  // program's file): a few tries, 50 ms apart.
  for (int attempt = 0;; ++attempt) {
    std::error_code error;
    std::string failed;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, error)) {
      if (keep.count(entry.path().filename().string())) continue;
      std::error_code removeError;
      fs::remove_all(entry.path(), removeError);
      if (removeError) failed = "cannot remove " + entry.path().string() + ": " + removeError.message();
    }
    if (failed.empty() && !error) return true;
    if (attempt == 100) {
      *why = error ? "cannot list " + dir.string() + ": " + error.message() : failed;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace

void ProgramDirTest::SetUp() {
  fake::ResetWorld();
  char current[1024] = {0};
  GetCurrentDirectoryA(sizeof current, current);
  previous_ = current;
  windowsDir_ = ProgramDirectory();
  ASSERT_FALSE(windowsDir_.empty()) << "the test program's folder is unusable";
  const fs::path path = HostPath(windowsDir_);
  dir_ = path.string();
  std::string why;
  ASSERT_TRUE(ClearProgramDirectory(path, &why)) << why;
  fs::create_directories(path / "Config");
  ASSERT_TRUE(SetCurrentDirectoryA(windowsDir_.c_str()));
  WriteFile("Config/rudadever.htm", "1.0.0\n");  // tests that need it gone remove it
  QuitPosted();
}

void ProgramDirTest::TearDown() {
  SetCurrentDirectoryA(previous_.c_str());
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
  Remove(program);  // mingw's copy_file does not overwrite
  fs::copy_file(fs::path(ZENT_STANDIN_DIR) / program, fs::path(dir_) / program,
                fs::copy_options::overwrite_existing);
}

bool ProgramDirTest::WaitForArgs(const std::string& program, int ms, std::vector<std::string>* args) {
  const std::string record = program + ".args";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  // Until the record is there and opens: a failed open (seen once under Wine, of a record
  // just moved into place) must not read as a record of no arguments.
  std::ifstream in;
  for (;;) {
    if (Exists(record)) {
      in.open(fs::path(dir_) / record, std::ios::binary);
      if (in.is_open()) break;
    }
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::istringstream lines(text.str());
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

#ifdef _WIN32
namespace {

HHOOK g_boxHook = nullptr;
std::string* g_boxText = nullptr;

// Reads each box as it opens, "caption: text" as the Linux platform writes it (the text
// is the static control with id 0xFFFF), and presses OK.
LRESULT CALLBACK CloseBoxes(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && g_boxText) {
    HWND box = reinterpret_cast<HWND>(wParam);
    char caption[256] = {0};
    char text[4096] = {0};
    GetWindowTextA(box, caption, sizeof caption);
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    *g_boxText += std::string(caption) + ": " + text + "\n";
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  }
  return CallNextHookEx(g_boxHook, code, wParam, lParam);
}

}  // namespace

StartFailureCapture::StartFailureCapture() {
  g_boxText = &text_;
  g_boxHook = SetWindowsHookExA(WH_CBT, CloseBoxes, nullptr, GetCurrentThreadId());
}

std::string StartFailureCapture::Text() {
  if (!ended_) {
    ended_ = true;
    if (g_boxHook) UnhookWindowsHookEx(g_boxHook);
    g_boxHook = nullptr;
    g_boxText = nullptr;
  }
  return text_;
}
#else
StartFailureCapture::StartFailureCapture() { ::testing::internal::CaptureStderr(); }

std::string StartFailureCapture::Text() {
  if (!ended_) {
    ended_ = true;
    text_ = ::testing::internal::GetCapturedStderr();
  }
  return text_;
}
#endif

StartFailureCapture::~StartFailureCapture() { Text(); }

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
