// One end-to-end run of the real launcher: a private copy of the program directory, its
// own runtime folder, a list made with the operator's tool, the headless program driven
// by an automation script, and what it left behind.
#pragma once

#include <map>
#include <string>
#include <vector>

// The build the session runs: the Linux program natively, or the Windows one under Wine.
struct LauncherTarget {
  bool windows = false;
  std::string dist;      // the program directory as built
  std::string standins;  // where the recording stand-ins were built
  std::string program, library, tool;  // file names in the program directory
  std::string boxCloser;  // Windows: reads and closes system message boxes (box_closer.cpp)
  static const LauncherTarget& Current();
  // An absolute path as the program must be given it (Windows form under Wine).
  std::string PathForProgram(const std::string& path) const;
};

// One control of a dump: its path and its tab-separated key=value fields.
struct DumpedControl {
  std::string path;
  std::map<std::string, std::string> fields;
  bool Shown() const;
  std::string Field(const std::string& key) const;
};

struct RunResult {
  int exitCode = -1;  // -1: killed at the time limit
  std::string errors;  // standard error, then each system message box as "caption: text"
  long peakKb = 0;     // the program's peak resident memory
};

class LauncherSession {
 public:
  // Copies the built program directory (or `dist`, another build's) into a new temporary folder.
  explicit LauncherSession(const std::string& dist = "");
  ~LauncherSession();  // removes it
  bool ok() const { return ok_; }

  std::string ProgramDir() const { return prog_; }
  std::string Root() const { return root_; }
  void WriteFile(const std::string& relative, const std::string& content);
  std::string ReadFile(const std::string& relative) const;
  bool Exists(const std::string& relative) const;
  void Remove(const std::string& relative);

  // The list file of `xml` (GBK), made with "districtlist encode".
  std::string EncodeList(const std::string& xml);
  // Config\rudadever.ini for a download server on 127.0.0.1:port.
  void ConfigureServer(int port, const std::string& browserUrl = "");

  // Runs the program with `arguments` and the automation `script` from `workingDir`
  // (the program directory when empty), killed after `limitMs`.
  RunResult Run(const std::vector<std::string>& script, const std::vector<std::string>& arguments = {},
                const std::string& workingDir = "", int limitMs = 60000);
  // Starts the program without waiting (its pid); Wait collects it, killing it after
  // `limitMs`. `tag` names the run's script and error files.
  int Start(const std::vector<std::string>& script, const std::vector<std::string>& arguments,
            const std::string& workingDir, const std::string& tag);
  RunResult Wait(int pid, const std::string& tag, int limitMs);

  // Later runs see a display of dpi dots per inch: a Wine prefix of the session's own with that
  // DPI (the shared one stays as it is), on Linux CORVIO_SCALE. False without the prefix.
  bool UseDpi(int dpi);
  // An environment variable for the runs from here on (replacing the inherited one).
  void SetEnv(const std::string& name, const std::string& value) { env_[name] = value; }
  // Later runs see `source` in place of `target`, in a mount namespace of their own
  // (needs root); read-only when asked. A run whose binds fail exits with 125.
  void BindForRuns(const std::string& source, const std::string& target, bool readOnly = false);

  // The controls of a dump file written by the automation (an absolute path).
  std::map<std::string, DumpedControl> ReadDump(const std::string& file) const;
  // The arguments a stand-in recorded, one a line; false when it never ran.
  bool StandInArgs(const std::string& program, std::vector<std::string>* args) const;

 private:
  bool ok_ = false;
  std::string root_;
  std::string prog_;
  std::string runtime_;
  int runs_ = 0;
  std::map<int, int> closers_;  // program pid -> its message box closer's pid (Wine)
  std::map<std::string, std::string> env_;
  std::string winePrefix_;  // this session's own, stopped when it ends
  struct Bind {
    std::string source, target;
    bool readOnly;
  };
  std::vector<Bind> binds_;
};

// UTF-8 text as GBK bytes, and back.
std::string Gbk(const std::string& utf8);
std::string Utf8(const std::string& gbk);
// Hexadecimal text of bytes, as the remembered address is stored.
std::string Hex(const std::string& bytes);
