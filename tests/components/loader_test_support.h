// Helpers shared by the loader tests and the launcher's start-failure test: temporary
// directories, files, and paths in the Windows form the loader works with (backslashes;
// on Linux "\tmp\x" is "/tmp/x").
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace loader_test {

namespace fs = std::filesystem;

// Backslashes as the loader writes paths; Linux reads them back as slashes.
inline std::string WindowsForm(const fs::path& path) {
  std::string text = path.string();
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
  return text;
}

// A path of the loader's form as a path of this system.
inline fs::path HostForm(const std::string& windowsPath) {
  std::string text = windowsPath;
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  return fs::path(text);
}

inline void WriteTextFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

// Text mode, so a CR LF written by a Windows program reads as LF.
inline std::string ReadTextFile(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A fresh directory under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  explicit TempDir(const std::string& tag) {
    std::random_device random;
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
      fs::path candidate = base / ("zent-loader-" + tag + "-" + std::to_string(random()));
      std::error_code error;
      if (fs::create_directory(candidate, error)) {
        path_ = candidate;
        return;
      }
    }
  }
  ~TempDir() {
    std::error_code error;
    if (!path_.empty()) fs::remove_all(path_, error);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const fs::path& path() const { return path_; }
  bool ok() const { return !path_.empty(); }

 private:
  fs::path path_;
};

}  // namespace loader_test
