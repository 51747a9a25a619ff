// ShellExecuteA for programs: starts the file directly (no shell) with the parameter text
// split by the Windows command-line rules, and never waits for it.
//
// Results, as Windows gives them for the cases a launcher meets:
//   program started                        42 (any value above 32 means success)
//   file not found                          2 (SE_ERR_FNF)
//   folder of the file not found            3 (SE_ERR_PNF)
//   no permission to run it                 5 (SE_ERR_ACCESSDENIED)
//   not a program (folder, document)       31 (SE_ERR_NOASSOC: no association here)
//   verb other than "open"                 31
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/linux/codepage.h"
#include "platform/linux/command_line.h"
#include "platform/linux/path.h"
#include "platform/win32.h"

extern char** environ;

namespace {

constexpr intptr_t kStarted = 42;

HINSTANCE Result(intptr_t code) { return reinterpret_cast<HINSTANCE>(code); }

bool IsRegularFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// A bare name is looked for in the working directory, then in each PATH folder (host
// folders); a name with a separator only where it says. The name as it would be in the
// working directory when nothing exists under it. The name converted already once.
std::string Locate(const char* file) {
  std::string here;
  PlatformHostPath("ShellExecuteA", file, &here);
  struct stat info;
  if (PlatformPathHasSeparator(file) || stat(here.c_str(), &info) == 0) return here;
  const char* path = getenv("PATH");
  std::string folders = path ? path : "";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    std::string folder = folders.substr(start, end - start);
    start = end + 1;
    if (folder.empty()) continue;
    std::string candidate;
    PlatformHostPathIn("ShellExecuteA", folder, file, &candidate);
    if (IsRegularFile(candidate)) return candidate;
  }
  return here;
}

intptr_t ErrorFromErrno(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      return SE_ERR_FNF;
    case EACCES:
    case EPERM:
      return SE_ERR_ACCESSDENIED;
    case ENOMEM:
    case EAGAIN:
      return SE_ERR_OOM;
    case ENOEXEC:
      return ERROR_BAD_FORMAT;
    default:
      return SE_ERR_NOASSOC;
  }
}

void CloseInheritedDescriptors(int keep) {
  // Nothing of ours (sockets, the instance lock file) may live on in the started program.
#ifdef SYS_close_range
  if (keep > 3) syscall(SYS_close_range, 3u, static_cast<unsigned>(keep - 1), 0u);
  if (syscall(SYS_close_range, static_cast<unsigned>(keep + 1), ~0u, 0u) == 0) return;
#endif
  long limit = sysconf(_SC_OPEN_MAX);
  if (limit < 0 || limit > 65536) limit = 65536;
  for (int fd = 3; fd < limit; ++fd) {
    if (fd != keep) close(fd);
  }
}

// Runs in the grandchild: only async-signal-safe calls until exec.
[[noreturn]] void RunChild(const char* program, char* const* argv, const char* directory,
                           int errorPipe) {
  setsid();  // its own session: a signal to our terminal or group does not reach it
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction defaults;
  memset(&defaults, 0, sizeof defaults);
  defaults.sa_handler = SIG_DFL;
  sigaction(SIGPIPE, &defaults, nullptr);
  CloseInheritedDescriptors(errorPipe);
  int err = 0;
  if (directory && chdir(directory) != 0) {
    err = errno == ENOENT || errno == ENOTDIR ? -SE_ERR_PNF : errno;
  } else {
    execve(program, argv, environ);
    err = errno;
  }
  ssize_t ignored = write(errorPipe, &err, sizeof err);
  (void)ignored;
  _exit(127);
}

}  // namespace

// Only the verb "open" (or none) on a program is supported. The program runs in its own
// session with `directory` (if given) as its working directory; it is started through a
// double fork, so it is never our child and never left a zombie. File, directory and
// parameters are GBK text and reach the program in UTF-8, as Linux programs take their
// arguments; text that is not GBK fails with SE_ERR_FNF and a line on standard error.
extern "C" HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                   LPCSTR directory, INT showCommand) {
  if (verb && *verb && strcasecmp(verb, "open") != 0) return Result(SE_ERR_NOASSOC);
  if (!file || !*file) return Result(SE_ERR_FNF);
  std::string workDir;
  if (directory && *directory && !PlatformHostPath("ShellExecuteA", directory, &workDir)) {
    return Result(SE_ERR_PNF);
  }
  std::string utf8File;  // Locate converts it again, component by component
  if (!PlatformAnsiToUtf8(file, &utf8File)) {
    PlatformFailUntranslatable("ShellExecuteA", file, false);
    return Result(SE_ERR_FNF);
  }
  std::string utf8Parameters;
  if (parameters && !PlatformAnsiToUtf8(parameters, &utf8Parameters)) {
    PlatformFailUntranslatable("ShellExecuteA", parameters, false);
    return Result(SE_ERR_FNF);
  }

  std::string program = Locate(file);
  struct stat info;
  if (stat(program.c_str(), &info) != 0) {
    int err = errno;
    return Result(PlatformErrorFromErrno(err, program) == ERROR_PATH_NOT_FOUND ? SE_ERR_PNF
                                                                              : ErrorFromErrno(err));
  }
  if (!S_ISREG(info.st_mode)) return Result(SE_ERR_NOASSOC);
  if (access(program.c_str(), X_OK) != 0) return Result(SE_ERR_NOASSOC);
  if (program[0] != '/') {
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) return Result(SE_ERR_PNF);
    program = std::string(cwd) + "/" + program;
  }
  // Everything the child needs is prepared before the fork. Split after the conversion:
  // in UTF-8 a byte 0x5C is always a backslash, in GBK it may be a trail byte.
  std::vector<std::string> args = PlatformSplitCommandLine(parameters ? utf8Parameters.c_str() : nullptr);
  args.insert(args.begin(), program);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);

  int errorPipe[2];
  if (pipe2(errorPipe, O_CLOEXEC) != 0) return Result(SE_ERR_OOM);
  pid_t middle = fork();
  if (middle < 0) {
    close(errorPipe[0]);
    close(errorPipe[1]);
    return Result(SE_ERR_OOM);
  }
  if (middle == 0) {
    close(errorPipe[0]);
    pid_t child = fork();
    if (child == 0) RunChild(program.c_str(), argv.data(), workDir.empty() ? nullptr : workDir.c_str(), errorPipe[1]);
    if (child < 0) {
      int err = errno;
      ssize_t ignored = write(errorPipe[1], &err, sizeof err);
      (void)ignored;
    }
    _exit(0);
  }
  close(errorPipe[1]);
  int status = 0;
  while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  // The pipe closes on a successful exec; otherwise it carries the reason.
  int err = 0;
  ssize_t got;
  do {
    got = read(errorPipe[0], &err, sizeof err);
  } while (got < 0 && errno == EINTR);
  close(errorPipe[0]);
  if (got <= 0) return Result(kStarted);
  if (err < 0) return Result(-err);
  return Result(ErrorFromErrno(err));
}
