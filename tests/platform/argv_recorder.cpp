// A stand-in program for the ShellExecuteA tests: writes its arguments, working directory
// and open descriptors to the file named by ZENT_ARGV_FILE.
#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

int main(int argc, char** argv) {
  const char* target = getenv("ZENT_ARGV_FILE");
  if (!target) return 2;
  // Record format: "argc N", then "arg I LEN" followed by the raw bytes, "cwd PATH",
  // "fd N" for every descriptor above 2.
  std::string out = "argc " + std::to_string(argc) + "\n";
  for (int i = 0; i < argc; ++i) {
    out += "arg " + std::to_string(i) + " " + std::to_string(strlen(argv[i])) + "\n";
    out += argv[i];
    out += "\n";
  }
  char cwd[4096];
  if (getcwd(cwd, sizeof cwd)) out += std::string("cwd ") + cwd + "\n";
  if (DIR* fds = opendir("/proc/self/fd")) {
    int own = dirfd(fds);
    while (dirent* e = readdir(fds)) {
      int fd = atoi(e->d_name);
      if (e->d_name[0] != '.' && fd > 2 && fd != own) out += "fd " + std::to_string(fd) + "\n";
    }
    closedir(fds);
  }
  // Written under a temporary name and renamed, so the reader never sees half a record.
  std::string temp = std::string(target) + ".part";
  FILE* f = fopen(temp.c_str(), "wb");
  if (!f) return 3;
  fwrite(out.data(), 1, out.size(), f);
  fclose(f);
  return rename(temp.c_str(), target) == 0 ? 0 : 4;
}
