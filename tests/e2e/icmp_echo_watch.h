// Counts the ICMP echo requests that arrive on this machine, by destination, through a
// raw socket (needs CAP_NET_RAW): how the tests see which districts were probed.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>

class IcmpEchoWatch {
 public:
  IcmpEchoWatch();
  ~IcmpEchoWatch();
  IcmpEchoWatch(const IcmpEchoWatch&) = delete;
  IcmpEchoWatch& operator=(const IcmpEchoWatch&) = delete;

  bool ok() const { return socket_ >= 0; }  // false without the privilege
  int RequestsTo(const std::string& dotted);

 private:
  void Loop();
  int socket_ = -1;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::map<std::string, int> requests_;
  std::thread thread_;
};
