// How a second start reaches the first instance: a Unix stream socket beside the lock
// file, in the same private folder. The holder of the name listens on it; a later start
// sends one short request and the holder posts kMsgBringToFront to its main window.
// Neither end follows a symbolic link at the socket's path.
#pragma once

#include <stdint.h>
#include <sys/types.h>

#include <atomic>
#include <string>
#include <thread>

namespace corvio {

constexpr char kActivationSocketSuffix[] = ".sock";  // appended to the lock file's path
constexpr char kBringToFrontRequest[] = "raise\n";
constexpr int kAskTimeoutMs = 200;  // what a second start may spend asking, in all

// One background thread that blocks in poll() on the socket and a stop descriptor.
class ActivationListener {
 public:
  ActivationListener() = default;
  ~ActivationListener() { Stop(); }
  ActivationListener(const ActivationListener&) = delete;
  ActivationListener& operator=(const ActivationListener&) = delete;

  // Listens on socketPath, replacing whatever file is there (the caller holds the lock,
  // so it is stale) except a symbolic link, which is refused. For each request, posts
  // kMsgBringToFront to the window in *window when that is nonzero; *window must outlive
  // Stop(). False, with one line on standard error and nothing left behind, when it
  // cannot listen.
  bool Start(const std::string& socketPath, const std::atomic<uint32_t>* window);
  // Stops and joins the thread, closes the socket and removes its file if still ours.
  void Stop();
  bool Running() const { return thread_.joinable(); }

 private:
  // Binds and listens; null when done, else the step that failed (errno tells why).
  const char* Open(const std::string& socketPath);
  void Serve();
  void CloseDescriptors();

  std::string path_;
  const std::atomic<uint32_t>* window_ = nullptr;
  int listenFd_ = -1;
  int stopFd_ = -1;
  bool bound_ = false;  // the socket file is ours: device_ and inode_ name it
  dev_t device_ = 0;
  ino_t inode_ = 0;
  std::thread thread_;
};

// Sends the request to whoever listens on socketPath, within timeoutMs; false when
// nobody took it (no listener, an older holder, or one too busy to answer in time), and
// when the path is not a socket of this user's (a link is never followed).
bool AskToBringToFront(const std::string& socketPath, int timeoutMs);

}  // namespace corvio
