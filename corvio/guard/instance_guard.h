// The InstanceGuard (ComponentId 777): one process at a time holds an instance name,
// through a lock file held with flock, so a crashed holder never blocks the next start.
#pragma once

#include <stdint.h>

#include <string>

#include "components/interfaces.h"

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
  // 1 when this object holds the name (taking it if free), 0 while another holds it.
  int IsFirstInstance() override;
  int Close() override;  // gives the name up

  uint32_t MainWindow() const { return window_; }
  bool Holds() const { return fd_ >= 0; }

 private:
  ~InstanceGuardImpl();
  std::string name_;
  uint32_t window_ = 0;
  int fd_ = -1;
};

}  // namespace corvio
