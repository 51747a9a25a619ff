// What every fuzz target shares: a check that stops the run with a message naming the
// broken property, and a private scratch folder for targets that need files.
#pragma once

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

// A broken property is a finding: libFuzzer keeps the input when the process aborts.
#define FUZZ_CHECK(condition, what)                                                  \
  do {                                                                               \
    if (!(condition)) zentfuzz::Fail(__FILE__, __LINE__, #condition, (what));        \
  } while (0)

namespace zentfuzz {

[[noreturn]] inline void Fail(const char* file, int line, const char* condition,
                              const std::string& what) {
  fprintf(stderr, "\n%s:%d: fuzz check failed: %s\n  (%s)\n", file, line, what.c_str(),
          condition);
  fflush(stderr);
  abort();
}

// Bytes as a C string literal, for messages: printable ASCII as it is, the rest escaped.
inline std::string Shown(const std::string& bytes, size_t limit = 200) {
  std::string out = "\"";
  for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char escaped[8];
      snprintf(escaped, sizeof escaped, "\\x%02x", c);
      out += escaped;
    }
  }
  out += bytes.size() > limit ? "\"..." : "\"";
  return out;
}

// A folder of this process, removed again at exit. On a crash it stays, holding the files
// of the input, until run-fuzzer removes the run's whole scratch folder.
class ScratchFolder {
 public:
  // In memory when the system offers it: targets that write files write one per input.
  static const std::string& Get(const char* purpose) {
    static ScratchFolder folder(purpose);
    return folder.path_;
  }

 private:
  explicit ScratchFolder(const char* purpose) {
    // run-fuzzer hands every run one folder and removes it afterwards, crashes included.
    const char* bases[] = {getenv("ZENT_FUZZ_SCRATCH"), "/dev/shm", getenv("TMPDIR"), "/tmp"};
    for (const char* base : bases) {
      if (!base || !*base || access(base, W_OK) != 0) continue;
      std::string pattern = std::string(base) + "/zent-fuzz-" + purpose + "-XXXXXX";
      if (mkdtemp(&pattern[0])) {
        path_ = pattern;
        break;
      }
    }
    if (path_.empty()) {
      fprintf(stderr, "fuzz: cannot make a scratch folder in /dev/shm, $TMPDIR or /tmp\n");
      exit(2);
    }
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    if (ec) fprintf(stderr, "fuzz: %s left behind: %s\n", path_.c_str(), ec.message().c_str());
  }
  std::string path_;
};

}  // namespace zentfuzz
