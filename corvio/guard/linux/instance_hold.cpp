// The guard's Linux part: flock on a per-name lock file in a folder only this user can
// write into; the kernel drops the lock when the holder ends in any way, so a crash never
// leaves the name taken. The holder listens on a socket beside the lock, through which a
// later start asks for its window.
#include "corvio/guard/instance_hold.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <memory>

#include "corvio/guard/linux/activation_channel.h"
#include "corvio/guard/linux/lock_dir.h"
#include "corvio/report.h"

namespace corvio {

struct HeldName {
  ~HeldName() {
    // The listener goes first, while the lock still keeps anyone else from binding anew.
    // The lock file stays: removing it would let a later start lock a file nobody sees.
    listener.Stop();
    if (fd >= 0) close(fd);
  }
  int fd = -1;
  std::atomic<uint32_t> window{0};  // read by the listener's thread
  ActivationListener listener;
};

namespace {

// Opens the lock file for flock: created 0600 if missing, never through a link, and only
// when what is there is a plain file of this user's. -1 with *why when refused.
int OpenLockFile(const LockDirectory& dir, const std::string& file, std::string* why) {
  // O_NONBLOCK: a FIFO put in its place must not hold the start up in open().
  const int fd = openat(dir.fd, file.c_str(),
                        O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
  if (fd < 0) {
    *why = errno == ELOOP ? "a symbolic link is in its place" : strerror(errno);
    return -1;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    *why = strerror(errno);
  } else if (!S_ISREG(st.st_mode)) {
    *why = "not a plain file";
  } else if (st.st_uid != geteuid()) {
    *why = "not this user's file";
  } else {
    return fd;
  }
  close(fd);
  return -1;
}

}  // namespace

Claim ClaimName(const std::string& name, uint32_t window, HeldName** held) {
  std::unique_ptr<HeldName> hold(new HeldName);  // before the lock, so nothing fails after it
  LockDirectory dir;
  std::string why;
  if (!OpenLockDirectory(&dir, &why)) {
    ReportF("[Corvio_Guard]", "no private folder for the lock of \"%s\" (%s); not guarded",
            name.c_str(), why.c_str());
    return Claim::kUnguarded;
  }
  const std::string file = LockFileName(name);
  const std::string path = dir.path + "/" + file;
  const std::string socketPath = path + kActivationSocketSuffix;
  hold->fd = OpenLockFile(dir, file, &why);
  if (hold->fd < 0) {
    ReportF("[Corvio_Guard]", "cannot open %s (%s); not guarded", path.c_str(), why.c_str());
    return Claim::kUnguarded;
  }
  int rc;
  do {
    rc = flock(hold->fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc == 0) {
    hold->window.store(window);
    // Without the listener the name is still held; only the bringing to front is lost.
    hold->listener.Start(socketPath, &hold->window);
    *held = hold.release();
    return Claim::kTaken;
  }
  if (errno != EWOULDBLOCK) {
    ReportF("[Corvio_Guard]", "cannot lock %s (%s); not guarded", path.c_str(),
            strerror(errno));
    return Claim::kUnguarded;
  }
  // The holder may be an older build or on its way out: not answering changes nothing.
  AskToBringToFront(socketPath, kAskTimeoutMs);
  return Claim::kHeldElsewhere;
}

void SetHeldWindow(HeldName* held, uint32_t window) { held->window.store(window); }

void ReleaseName(HeldName* held) { delete held; }

}  // namespace corvio
