// A fresh folder for one test, made the current directory while the test runs.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "platform/win32.h"

class CoreTempDir {
 public:
  CoreTempDir() {
    std::error_code error;
    previous_ = std::filesystem::current_path(error);
    const auto base = std::filesystem::temp_directory_path(error);
    static unsigned counter = 0;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; attempt < 1000; ++attempt) {
      auto candidate = base / ("zent-core-" + std::to_string(stamp) + "-" +
                               std::to_string(++counter));
      if (std::filesystem::create_directory(candidate, error)) {
        path_ = candidate.string();
        break;
      }
    }
    if (!path_.empty()) entered_ = SetCurrentDirectoryA(path_.c_str()) != 0;
  }
  ~CoreTempDir() {
    std::error_code error;
    std::filesystem::current_path(previous_, error);
    if (!path_.empty()) std::filesystem::remove_all(path_, error);
  }
  CoreTempDir(const CoreTempDir&) = delete;
  CoreTempDir& operator=(const CoreTempDir&) = delete;

  // True when the folder exists and is the current directory.
  bool ok() const { return entered_; }
  const std::string& path() const { return path_; }

  // Writes bytes exactly as given (binary) to a file relative to the folder.
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(std::filesystem::path(path_) / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  // Reads a file relative to the folder; "<missing>" when it cannot be opened.
  std::string Read(const std::string& name) const {
    std::ifstream in(std::filesystem::path(path_) / name, std::ios::binary);
    if (!in) return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  bool Exists(const std::string& name) const {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::path(path_) / name, error);
  }

 private:
  std::filesystem::path previous_;
  std::string path_;
  bool entered_ = false;
};
