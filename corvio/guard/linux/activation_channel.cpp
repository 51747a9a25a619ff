// The activation socket: the first instance serves requests on one background thread;
// a second start connects, sends one line and leaves, never waiting long for either.
#include "corvio/guard/linux/activation_channel.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <system_error>

#include "corvio/guard/activation_message.h"
#include "corvio/report.h"
#include "platform/win32.h"

namespace corvio {

namespace {

constexpr int kMaxPeers = 8;          // connections read at once; the oldest gives way
constexpr int kPeerTimeoutMs = 1000;  // a peer that says nothing in this time is dropped
constexpr int kAcceptPauseMs = 100;   // after accept() fails for want of descriptors
constexpr size_t kRequestLength = sizeof kBringToFrontRequest - 1;

int64_t NowMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

bool FillAddress(const std::string& path, sockaddr_un* address) {
  memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address->sun_path) return false;
  memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

bool IsLink(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

void SetSendTimeout(int fd, int64_t ms) {
  if (ms < 1) ms = 1;  // 0 would mean no limit at all
  timeval tv;
  tv.tv_sec = static_cast<time_t>(ms / 1000);
  tv.tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

// One connection being read: a request is short, so a fixed buffer holds all of it.
struct Peer {
  int fd = -1;
  int64_t deadline = 0;
  size_t used = 0;
  char text[16];
};

void ClosePeer(Peer* peer) {
  if (peer->fd >= 0) close(peer->fd);
  peer->fd = -1;
  peer->used = 0;
}

// Only the user's own processes may ask; the private folder already keeps others out.
bool SameUser(int fd) {
  ucred credentials;
  socklen_t size = sizeof credentials;
  return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
         credentials.uid == geteuid();
}

void BringToFront(const std::atomic<uint32_t>* window) {
  const uint32_t handle = window->load();
  // Before the window exists, or after it is gone, there is nothing to show.
  if (handle)
    PostMessageA(reinterpret_cast<HWND>(static_cast<uintptr_t>(handle)), kMsgBringToFront, 0, 0);
}

// Reads what the peer has sent; once the request is whole (or the peer is done), acts
// on it and closes the connection.
void ReadPeer(Peer* peer, const std::atomic<uint32_t>* window) {
  ssize_t n;
  do {
    n = read(peer->fd, peer->text + peer->used, sizeof peer->text - peer->used);
  } while (n < 0 && errno == EINTR);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
  if (n > 0) {
    peer->used += static_cast<size_t>(n);
    if (!memchr(peer->text, '\n', peer->used) && peer->used < sizeof peer->text) return;
  }
  if (peer->used == kRequestLength && memcmp(peer->text, kBringToFrontRequest, kRequestLength) == 0)
    BringToFront(window);
  ClosePeer(peer);
}

}  // namespace

bool ActivationListener::Start(const std::string& socketPath,
                               const std::atomic<uint32_t>* window) {
  Stop();
  const char* failed = Open(socketPath);
  if (!failed) {
    try {
      window_ = window;
      thread_ = std::thread([this] { Serve(); });
      return true;
    } catch (const std::system_error& e) {
      errno = e.code().value();
      failed = "thread";
    } catch (...) {
      errno = ENOMEM;
      failed = "thread";
    }
  }
  const int error = errno;
  Stop();  // no thread runs: this removes the file if we bound it and closes the rest
  ReportF("[Corvio_Guard]",
          "cannot listen on %s (%s: %s); a second start will not bring this window to the front",
          socketPath.c_str(), failed, strerror(error));
  return false;
}

const char* ActivationListener::Open(const std::string& socketPath) {
  if (!Guarded([&] { path_ = socketPath; })) {
    errno = ENOMEM;
    return "path";
  }
  sockaddr_un address;
  if (!FillAddress(path_, &address)) {
    errno = ENAMETOOLONG;
    return "path";
  }
  struct stat st;
  // A link here was not left by a holder: it is refused, never followed nor removed.
  if (IsLink(path_)) {
    errno = ELOOP;
    return "a symbolic link is in its place";
  }
  listenFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listenFd_ < 0) return "socket";
  unlink(path_.c_str());  // we hold the lock: a file left here belongs to a gone holder
  if (bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return "bind";
  if (lstat(path_.c_str(), &st) != 0) return "stat";
  if (!S_ISSOCK(st.st_mode)) {
    errno = EEXIST;
    return "replaced after bind";
  }
  bound_ = true;
  device_ = st.st_dev;
  inode_ = st.st_ino;
  // Before listen(), so nobody can connect while the mode is still the umask's; chmod
  // follows links, so it acts only on the socket just seen.
  if (chmod(path_.c_str(), 0600) != 0) return "chmod";
  if (listen(listenFd_, kMaxPeers) != 0) return "listen";
  stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (stopFd_ < 0) return "eventfd";
  return nullptr;
}

void ActivationListener::Stop() {
  if (thread_.joinable()) {
    uint64_t one = 1;
    if (write(stopFd_, &one, sizeof one) != static_cast<ssize_t>(sizeof one)) {
      // An eventfd only refuses a write at its limit, which means it is signalled already.
    }
    thread_.join();
  }
  if (bound_) {
    // Someone may have replaced the file since; only our own socket is removed.
    struct stat st;
    if (lstat(path_.c_str(), &st) == 0 && st.st_dev == device_ && st.st_ino == inode_)
      unlink(path_.c_str());
    bound_ = false;
  }
  CloseDescriptors();
}

void ActivationListener::CloseDescriptors() {
  if (listenFd_ >= 0) close(listenFd_);
  if (stopFd_ >= 0) close(stopFd_);
  listenFd_ = stopFd_ = -1;
}

void ActivationListener::Serve() {
  Peer peers[kMaxPeers];
  int64_t acceptAgainAt = 0;
  for (;;) {
    pollfd fds[2 + kMaxPeers];
    int slotOf[2 + kMaxPeers];
    nfds_t n = 0;
    const int64_t now = NowMs();
    int64_t timeout = -1;
    fds[n++] = pollfd{stopFd_, POLLIN, 0};
    const bool accepting = now >= acceptAgainAt;
    if (accepting) fds[n++] = pollfd{listenFd_, POLLIN, 0};
    else timeout = acceptAgainAt - now;
    for (int i = 0; i < kMaxPeers; ++i) {
      if (peers[i].fd < 0) continue;
      slotOf[n] = i;
      fds[n++] = pollfd{peers[i].fd, POLLIN, 0};
      const int64_t left = peers[i].deadline > now ? peers[i].deadline - now : 0;
      if (timeout < 0 || left < timeout) timeout = left;
    }
    if (poll(fds, n, static_cast<int>(timeout)) < 0) {
      if (errno == EINTR) continue;
      ReportF("[Corvio_Guard]", "the activation listener stops: poll: %s", strerror(errno));
      break;
    }
    if (fds[0].revents) break;
    for (nfds_t k = accepting ? 2 : 1; k < n; ++k)
      if (fds[k].revents) ReadPeer(&peers[slotOf[k]], window_);
    if (accepting && (fds[1].revents & POLLIN)) {
      for (;;) {
        int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
          if (errno == EINTR || errno == ECONNABORTED) continue;
          // Out of descriptors the socket stays readable: wait a little instead of spinning.
          if (errno != EAGAIN && errno != EWOULDBLOCK) acceptAgainAt = NowMs() + kAcceptPauseMs;
          break;
        }
        if (!SameUser(fd)) {
          close(fd);
          continue;
        }
        // A free slot, else the one closest to giving up: a new request always gets in.
        Peer* slot = &peers[0];
        for (Peer& p : peers) {
          if (p.fd < 0) {
            slot = &p;
            break;
          }
          if (p.deadline < slot->deadline) slot = &p;
        }
        ClosePeer(slot);
        slot->fd = fd;
        slot->deadline = NowMs() + kPeerTimeoutMs;
      }
    }
    const int64_t later = NowMs();
    for (Peer& p : peers)
      if (p.fd >= 0 && p.deadline <= later) ClosePeer(&p);
  }
  for (Peer& p : peers) ClosePeer(&p);
}

bool AskToBringToFront(const std::string& socketPath, int timeoutMs) {
  sockaddr_un address;
  if (!FillAddress(socketPath, &address)) return false;
  // connect() follows links: only a socket of this user's own is asked.
  struct stat st;
  if (lstat(socketPath.c_str(), &st) != 0) return false;
  if (!S_ISSOCK(st.st_mode) || st.st_uid != geteuid()) {
    ReportF("[Corvio_Guard]", "%s is not this user's socket (%s); not asked",
            socketPath.c_str(), S_ISLNK(st.st_mode) ? "a symbolic link" : "another file");
    return false;
  }
  const int64_t deadline = NowMs() + timeoutMs;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  // A Unix socket's connect() waits for room in the listener's queue at most this long.
  SetSendTimeout(fd, timeoutMs);
  bool sent = false;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    SetSendTimeout(fd, deadline - NowMs());
    sent = send(fd, kBringToFrontRequest, kRequestLength, MSG_NOSIGNAL) ==
           static_cast<ssize_t>(kRequestLength);
  }
  close(fd);
  return sent;
}

}  // namespace corvio
