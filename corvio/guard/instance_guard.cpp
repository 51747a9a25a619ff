// InstanceGuard on Linux: flock on a per-name lock file; the kernel drops the lock when
// the holder ends in any way, so a crash never leaves the name taken. The holder also
// listens on a socket beside the lock, through which a later start asks for its window.
#include "corvio/guard/instance_guard.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>

#include "corvio/guard/lock_dir.h"
#include "corvio/registry.h"

namespace corvio {

namespace {

std::atomic<SecondStartHook> g_secondStartHook{nullptr};

// The holder's process id as it wrote it into the lock file, 0 when unreadable.
long ReadHolderPid(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return 0;
  char text[32] = {};
  ssize_t n = read(fd, text, sizeof text - 1);
  close(fd);
  return n > 0 ? strtol(text, nullptr, 10) : 0;
}

void WritePid(int fd) {
  char text[32];
  int n = snprintf(text, sizeof text, "%ld\n", static_cast<long>(getpid()));
  if (ftruncate(fd, 0) == 0 && n > 0) {
    ssize_t written = pwrite(fd, text, static_cast<size_t>(n), 0);
    (void)written;  // the pid is a courtesy for the second-start hook only
  }
}

}  // namespace

void SetSecondStartHook(SecondStartHook hook) { g_secondStartHook.store(hook); }

InstanceGuardImpl::~InstanceGuardImpl() { Close(); }

int InstanceGuardImpl::Release(int) {
  delete this;
  return 0;
}

int InstanceGuardImpl::SetName(const char* name) {
  Close();  // a new name is a new question; the old one is given up
  try {
    name_ = name ? name : "";
  } catch (...) {
    return 0;
  }
  return 1;
}

int InstanceGuardImpl::SetMainWindow(uint32_t window) {
  window_.store(window);
  return 1;
}

int InstanceGuardImpl::IsFirstInstance() {
  if (fd_ >= 0) return 1;
  if (name_.empty()) return 1;  // an unnamed guard guards nothing, as an unnamed mutex
  std::string dir, path;
  try {
    dir = LockDirectory();
    if (dir.empty()) {
      fprintf(stderr, "[Corvio_Guard] no private folder for the lock of \"%s\"; not guarded\n",
              name_.c_str());
      return 1;  // a missing lock folder must not keep the program from starting
    }
    path = dir + "/" + LockFileName(name_);
  } catch (...) {
    return 1;
  }
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    fprintf(stderr, "[Corvio_Guard] cannot open %s: errno %d; not guarded\n", path.c_str(), errno);
    return 1;
  }
  int rc;
  do {
    rc = flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc == 0) {
    fd_ = fd;
    WritePid(fd);
    try {
      listener_.Start(path + kActivationSocketSuffix, &window_);
    } catch (...) {
      // Without the listener the name is still held; only the bringing to front is lost.
    }
    return 1;
  }
  const int error = errno;
  close(fd);
  if (error != EWOULDBLOCK) {
    fprintf(stderr, "[Corvio_Guard] cannot lock %s: errno %d; not guarded\n", path.c_str(), error);
    return 1;
  }
  try {
    // The holder may be an older build or on its way out: not answering changes nothing.
    AskToBringToFront(path + kActivationSocketSuffix, kAskTimeoutMs);
  } catch (...) {
  }
  SecondStartHook hook = g_secondStartHook.load();
  if (hook) {
    try {
      hook(name_.c_str(), ReadHolderPid(path));
    } catch (...) {
    }
  }
  return 0;
}

int InstanceGuardImpl::Close() {
  // The listener goes first, while the lock still keeps anyone else from binding anew.
  listener_.Stop();
  // The lock file stays: removing it would let a later start lock a file nobody else sees.
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
  return 1;
}

}  // namespace corvio

namespace {

Component* MakeInstanceGuard() { return new corvio::InstanceGuardImpl(); }

}  // namespace

CORVIO_REGISTER_COMPONENT(777, MakeInstanceGuard);
