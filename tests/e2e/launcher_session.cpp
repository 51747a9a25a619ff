// The end-to-end session: program directory copy, runs of the real program, dumps.
#include "tests/e2e/launcher_session.h"

#include <fcntl.h>
#include <iconv.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string Convert(const std::string& text, const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  std::string out(text.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char* o = &out[0];
  size_t outLeft = out.size();
  iconv(cd, &in, &inLeft, &o, &outLeft);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

bool Truthy(const std::string& v) { return v == "1" || v == "true" || v == "yes"; }

std::string FromEnv(const char* name) {
  const char* value = getenv(name);
  return value ? value : "";
}

}  // namespace

// The Windows build under Wine when ZENT_E2E_WINDOWS_DIST names its program directory
// (the same tests drive both systems); else the Linux build this test was built with.
const LauncherTarget& LauncherTarget::Current() {
  static const LauncherTarget target = [] {
    LauncherTarget t;
    t.dist = FromEnv("ZENT_E2E_WINDOWS_DIST");
    t.windows = !t.dist.empty();
    if (t.windows) {
      t.standins = FromEnv("ZENT_E2E_WINDOWS_STANDINS");
      t.program = "ZentPorter.exe";
      t.library = "CorvFact.dll";
      t.tool = "districtlist.exe";
      t.boxCloser = FromEnv("ZENT_E2E_WINDOWS_BOX_CLOSER");
    } else {
      t.dist = ZENT_DIST_DIR;
      t.standins = ZENT_STANDIN_DIR;
      t.program = "ZentPorter";
      t.library = "CorvFact.so";
      t.tool = "districtlist";
    }
    return t;
  }();
  return target;
}

std::string LauncherTarget::PathForProgram(const std::string& path) const {
  if (!windows || path.empty() || path[0] != '/') return path;
  std::string out = "Z:" + path;  // Wine's drive for the whole file system
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

std::string Gbk(const std::string& utf8) { return Convert(utf8, "GBK", "UTF-8"); }
std::string Utf8(const std::string& gbk) { return Convert(gbk, "UTF-8", "GBK"); }

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

bool DumpedControl::Shown() const { return Truthy(Field("shown")); }

std::string DumpedControl::Field(const std::string& key) const {
  auto it = fields.find(key);
  return it == fields.end() ? std::string() : it->second;
}

LauncherSession::LauncherSession(const std::string& dist) {
  char pattern[] = "/tmp/zent-e2e-XXXXXX";
  if (!mkdtemp(pattern)) return;
  root_ = pattern;
  prog_ = root_ + "/prog";
  runtime_ = root_ + "/run";
  std::error_code error;
  fs::create_directories(prog_, error);
  fs::create_directories(runtime_, error);
  chmod(runtime_.c_str(), 0700);
  const LauncherTarget& target = LauncherTarget::Current();
  for (const auto& entry : fs::directory_iterator(dist.empty() ? target.dist : dist, error)) {
    const std::string name = entry.path().filename().string();
    if (name == "zaduvodi.xml" || name.find(".args") != std::string::npos) continue;
    fs::copy(entry.path(), fs::path(prog_) / name,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
    if (error) return;
  }
  // The recording stand-ins are the test's own: they never ship in the program directory.
  for (const char* standIn : {"ZentLauncher.exe", "RudaDever.exe"}) {
    fs::copy_file(fs::path(target.standins) / standIn, fs::path(prog_) / standIn,
                  fs::copy_options::overwrite_existing, error);
    if (error) return;
  }
  Remove("Config/zentxmlwtz.htm");
  Remove("Config/Info.ini");
  WriteFile("Config/Info.ini", "[Public]\r\nIsKeepLoginUrl=1\r\n");
  ok_ = Exists(target.program) && Exists(target.library) && Exists("zentPorter.xml") &&
        Exists("HintMsg.xml") && Exists("fuwuqi_fast00.tga") && Exists(target.tool) &&
        Exists("Corvio.ini");
}

LauncherSession::~LauncherSession() {
  if (root_.empty()) return;
  if (!winePrefix_.empty()) (void)!system(("WINEPREFIX='" + winePrefix_ + "' wineserver -k 2>/dev/null").c_str());
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

bool LauncherSession::UseDpi(int dpi) {
  if (!LauncherTarget::Current().windows) {
    SetEnv("CORVIO_SCALE", std::to_string(dpi / 96.0));
    return true;
  }
  // Wine takes the system DPI from the user's desktop settings when its server starts.
  winePrefix_ = root_ + "/wineprefix";
  SetEnv("WINEPREFIX", winePrefix_);
  const std::string env = "WINEPREFIX='" + winePrefix_ + "' ";
  return system((env + "wineboot -i >/dev/null 2>&1 && " + env + "wine reg add 'HKCU\\Control Panel\\Desktop' "
                 "/v LogPixels /t REG_DWORD /d " + std::to_string(dpi) + " /f >/dev/null 2>&1 && " + env +
                 "wineserver -w").c_str()) == 0;
}

void LauncherSession::WriteFile(const std::string& relative, const std::string& content) {
  fs::path path = fs::path(prog_) / relative;
  std::error_code ignored;
  fs::create_directories(path.parent_path(), ignored);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

std::string LauncherSession::ReadFile(const std::string& relative) const {
  std::ifstream in(fs::path(prog_) / relative, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool LauncherSession::Exists(const std::string& relative) const {
  return fs::exists(fs::path(prog_) / relative);
}

void LauncherSession::Remove(const std::string& relative) {
  std::error_code ignored;
  fs::remove(fs::path(prog_) / relative, ignored);
}

std::string LauncherSession::EncodeList(const std::string& xml) {
  const std::string in = root_ + "/list.xml";
  const std::string out = root_ + "/list.txt";
  {
    std::ofstream f(in, std::ios::binary | std::ios::trunc);
    f << xml;
  }
  // The Linux tool makes the file for either build: the format is the same. Lists the
  // tests make on purpose (too many districts of one group, say) are sealed all the same.
  const std::string command = std::string("'") + ZENT_DIST_DIR + "/districtlist' encode --force '" + in +
                              "' -o '" + out + "' >/dev/null 2>&1";
  if (system(command.c_str()) != 0) return std::string();
  std::ifstream f(out, std::ios::binary);
  std::ostringstream text;
  text << f.rdbuf();
  return text.str();
}

void LauncherSession::ConfigureServer(int port, const std::string& browserUrl) {
  WriteFile("Config/rudadever.ini", "[Public]\r\nserverhost=127.0.0.1:" + std::to_string(port) +
                                        "\r\nserverpath=zent\r\nWebBrowserUrl=" + browserUrl +
                                        "\r\nOfficialSite=www.zent.example.com\r\n");
  // The browser pane of the skin fetches its page from the same server.
  std::string skin = ReadFile("zentPorter.xml");
  const std::string from = "http://127.0.0.1:8080/";
  const std::string to = "http://127.0.0.1:" + std::to_string(port) + "/";
  for (size_t at = skin.find(from); at != std::string::npos; at = skin.find(from, at + to.size()))
    skin.replace(at, from.size(), to);
  WriteFile("zentPorter.xml", skin);
}

int LauncherSession::Start(const std::vector<std::string>& script,
                           const std::vector<std::string>& arguments, const std::string& workingDir,
                           const std::string& tag) {
  const LauncherTarget& target = LauncherTarget::Current();
  const std::string scriptFile = root_ + "/" + tag + ".script";
  const std::string errorsFile = root_ + "/" + tag + ".stderr";
  {
    // Files the script names are in this session's folder; a Windows program sees them
    // under their Windows names.
    std::ofstream f(scriptFile, std::ios::binary | std::ios::trunc);
    for (std::string line : script) {
      for (size_t at = line.find(root_); at != std::string::npos; at = line.find(root_, at + 1)) {
        const size_t end = line.find(' ', at);
        const size_t length = (end == std::string::npos ? line.size() : end) - at;
        line.replace(at, length, target.PathForProgram(line.substr(at, length)));
      }
      f << line << "\n";
    }
  }
  // Headless, scripted, and with runtime and cache folders of its own so no other launcher
  // of the machine counts as the first instance and nothing is cached for the real user.
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    // WINEPATH would let the program load libraries from outside its own folder.
    if (entry.rfind("SDL_VIDEODRIVER=", 0) == 0 || entry.rfind("CORVIO_AUTOMATION=", 0) == 0 ||
        entry.rfind("XDG_RUNTIME_DIR=", 0) == 0 || entry.rfind("XDG_CACHE_HOME=", 0) == 0 ||
        entry.rfind("WINEPATH=", 0) == 0 || env_.count(entry.substr(0, entry.find('='))))
      continue;
    env.push_back(entry);
  }
  env.push_back("SDL_VIDEODRIVER=offscreen");
  env.push_back("CORVIO_AUTOMATION=" + target.PathForProgram(scriptFile));
  env.push_back("XDG_RUNTIME_DIR=" + runtime_);
  env.push_back("XDG_CACHE_HOME=" + root_ + "/cache");  // the image cache, never the user's own
  for (const auto& e : env_) env.push_back(e.first + "=" + e.second);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(&e[0]);
  envp.push_back(nullptr);
  std::string program = prog_ + "/" + target.program;
  std::vector<std::string> argStore{program};
  if (target.windows) argStore.insert(argStore.begin(), "wine");
  for (const auto& a : arguments) argStore.push_back(a);
  std::vector<char*> argv;
  for (auto& a : argStore) argv.push_back(&a[0]);
  argv.push_back(nullptr);

  const std::string dir = workingDir.empty() ? prog_ : workingDir;
  pid_t pid = fork();
  if (pid > 0 && target.windows && !target.boxCloser.empty()) {
    // On Linux the platform's message box writes to standard error; under Wine a closer
    // reads the real box, so the run goes on and the test sees what the player was told.
    const std::string boxes = target.PathForProgram(root_ + "/" + tag + ".boxes");
    pid_t closer = fork();
    if (closer == 0) {
      for (const auto& e : env_) setenv(e.first.c_str(), e.second.c_str(), 1);  // the same prefix
      int null = open("/dev/null", O_RDWR);
      if (null >= 0) {
        dup2(null, 0);
        dup2(null, 1);
      }
      execlp("wine", "wine", target.boxCloser.c_str(), boxes.c_str(), "600000", nullptr);
      _exit(127);
    }
    if (closer > 0) closers_[static_cast<int>(pid)] = static_cast<int>(closer);
  }
  if (pid != 0) return pid < 0 ? -1 : static_cast<int>(pid);
  if (!binds_.empty()) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) _exit(125);
    for (const Bind& b : binds_) {
      if (mount(b.source.c_str(), b.target.c_str(), nullptr, MS_BIND, nullptr) != 0) _exit(125);
      if (b.readOnly &&
          mount(nullptr, b.target.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
        _exit(125);
    }
  }
  if (chdir(dir.c_str()) != 0) _exit(126);
  int fd = open(errorsFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd >= 0) {
    dup2(fd, 2);
    close(fd);
  }
  int null = open("/dev/null", O_RDWR);
  if (null >= 0) {
    dup2(null, 0);
    dup2(null, 1);
  }
  if (target.windows) execvpe("wine", argv.data(), envp.data());
  else execve(program.c_str(), argv.data(), envp.data());
  _exit(127);
}

RunResult LauncherSession::Wait(int pid, const std::string& tag, int limitMs) {
  RunResult result;
  if (pid <= 0) return result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  int status = 0;
  for (;;) {
    rusage usage{};
    pid_t done = wait4(pid, &status, WNOHANG, &usage);
    if (done == pid) {
      result.peakKb = usage.ru_maxrss;
      result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      wait4(pid, &status, 0, &usage);
      result.exitCode = -1;
      result.peakKb = usage.ru_maxrss;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::ifstream errors(root_ + "/" + tag + ".stderr", std::ios::binary);
  std::ostringstream text;
  text << errors.rdbuf();
  auto closer = closers_.find(pid);
  if (closer != closers_.end()) {
    kill(closer->second, SIGKILL);
    waitpid(closer->second, &status, 0);
    closers_.erase(closer);
    std::ifstream boxes(root_ + "/" + tag + ".boxes", std::ios::binary);
    text.clear();  // an empty standard error leaves the stream failed
    text << boxes.rdbuf();
  }
  result.errors = text.str();
  return result;
}

void LauncherSession::BindForRuns(const std::string& source, const std::string& target, bool readOnly) {
  binds_.push_back(Bind{source, target, readOnly});
}

RunResult LauncherSession::Run(const std::vector<std::string>& script,
                               const std::vector<std::string>& arguments,
                               const std::string& workingDir, int limitMs) {
  const std::string tag = "run" + std::to_string(++runs_);
  return Wait(Start(script, arguments, workingDir, tag), tag, limitMs);
}

std::map<std::string, DumpedControl> LauncherSession::ReadDump(const std::string& file) const {
  std::map<std::string, DumpedControl> controls;
  std::ifstream in(file, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  std::istringstream lines(content.str());
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream cells(line);
    std::string cell;
    DumpedControl control;
    bool first = true;
    while (std::getline(cells, cell, '\t')) {
      if (first) {
        control.path = cell;
        first = false;
        continue;
      }
      const size_t eq = cell.find('=');
      if (eq != std::string::npos) control.fields[cell.substr(0, eq)] = cell.substr(eq + 1);
    }
    if (!control.path.empty()) controls[control.path] = control;
  }
  return controls;
}

bool LauncherSession::StandInArgs(const std::string& program, std::vector<std::string>* args) const {
  if (!Exists(program + ".args")) return false;
  std::istringstream lines(ReadFile(program + ".args"));
  std::string line;
  args->clear();
  while (std::getline(lines, line)) args->push_back(line);
  return true;
}
