// The InstanceGuard (ComponentId 777): one process at a time holds an instance name, and
// a later start asks the holder to bring its window to the front. The component is the
// same on every system; instance_hold.h is what each system supplies.
#pragma once

#include <stdint.h>

#include <string>

#include "components/interfaces.h"

namespace corvio {

struct HeldName;

class InstanceGuardImpl final : public InstanceGuard {
 public:
  int Release(int) override;
  int Initialize(int) override { return 0; }
  int SetName(const char* name) override;
  int SetMainWindow(uint32_t window) override;
  // 1 when this object holds the name (taking it if free), or when the system cannot
  // guard it (the player can always play); 0 while another process holds it.
  int IsFirstInstance() override;
  int Close() override;  // gives the name up

 private:
  ~InstanceGuardImpl();
  std::string name_;
  uint32_t window_ = 0;
  HeldName* held_ = nullptr;
};

}  // namespace corvio
