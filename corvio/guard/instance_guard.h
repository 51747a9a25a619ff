// The InstanceGuard (ComponentId 777): one process at a time holds an instance name,
// through a lock file held with flock, so a crashed holder never blocks the next start.
#pragma once

#include <stdint.h>

#include <atomic>
#include <string>

#include "components/interfaces.h"
#include "corvio/guard/activation_channel.h"

namespace corvio {

// Called in a later process that finds the name held, with the name and the holder's
// process id (0 when unknown); a window layer may use it to bring the holder to the front.
using SecondStartHook = void (*)(const char* name, long holderPid);
void SetSecondStartHook(SecondStartHook hook);

class InstanceGuardImpl final : public InstanceGuard {
 public:
  int Release(int) override;
  int Initialize(int) override { return 0; }
  int SetName(const char* name) override;
  int SetMainWindow(uint32_t window) override;
  // 1 when this object holds the name (taking it if free, and then listening for later
  // starts), 0 while another holds it (after asking the holder to show its window).
  int IsFirstInstance() override;
  int Close() override;  // gives the name up

  uint32_t MainWindow() const { return window_.load(); }
  bool Holds() const { return fd_ >= 0; }

 private:
  ~InstanceGuardImpl();
  std::string name_;
  std::atomic<uint32_t> window_{0};  // read by the listener's thread
  int fd_ = -1;
  ActivationListener listener_;
};

}  // namespace corvio
