// InstanceGuard: the component's operations, the same on every system; holding the name
// and reaching the holder are the system's part (instance_hold.h).
#include "corvio/guard/instance_guard.h"

#include "corvio/guard/instance_hold.h"
#include "corvio/registry.h"
#include "corvio/report.h"

namespace corvio {

InstanceGuardImpl::~InstanceGuardImpl() { Close(); }

int InstanceGuardImpl::Release(int) {
  delete this;
  return 0;
}

int InstanceGuardImpl::SetName(const char* name) {
  Close();  // a new name is a new question; the old one is given up
  if (Guarded([&] { name_ = name ? name : ""; })) return 1;
  name_.clear();
  return 0;
}

int InstanceGuardImpl::SetMainWindow(uint32_t window) {
  window_ = window;
  if (held_) SetHeldWindow(held_, window);
  return 1;
}

int InstanceGuardImpl::IsFirstInstance() {
  if (held_) return 1;
  if (name_.empty()) return 1;  // an unnamed guard guards nothing, as an unnamed mutex
  const int first =
      Guarded([&] { return ClaimName(name_, window_, &held_) == Claim::kHeldElsewhere ? 0 : 1; }, -1);
  if (first >= 0) return first;
  ReportF("[Corvio_Guard]", "out of memory asking for \"%s\"; not guarded", name_.c_str());
  return 1;
}

int InstanceGuardImpl::Close() {
  ReleaseName(held_);
  held_ = nullptr;
  return 1;
}

}  // namespace corvio

namespace {

Component* MakeInstanceGuard() { return new corvio::InstanceGuardImpl(); }

}  // namespace

CORVIO_REGISTER_COMPONENT(777, MakeInstanceGuard);
