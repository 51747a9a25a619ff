// The raw-socket counter of ICMP echo requests used by the end-to-end tests.
#include "tests/e2e/icmp_echo_watch.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

IcmpEchoWatch::IcmpEchoWatch() {
  socket_ = socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
  if (socket_ >= 0) thread_ = std::thread([this] { Loop(); });
}

IcmpEchoWatch::~IcmpEchoWatch() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (socket_ >= 0) close(socket_);
}

int IcmpEchoWatch::RequestsTo(const std::string& dotted) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = requests_.find(dotted);
  return it == requests_.end() ? 0 : it->second;
}

void IcmpEchoWatch::Loop() {
  unsigned char packet[2048];
  while (!stop_) {
    pollfd p{socket_, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    const ssize_t n = recv(socket_, packet, sizeof packet, 0);
    if (n < 20) continue;
    const size_t header = static_cast<size_t>(packet[0] & 0x0f) * 4;
    if (static_cast<size_t>(n) <= header || packet[header] != 8) continue;  // 8: echo request
    char dotted[INET_ADDRSTRLEN] = {0};
    inet_ntop(AF_INET, packet + 16, dotted, sizeof dotted);
    std::lock_guard<std::mutex> lock(mutex_);
    ++requests_[dotted];
  }
}
