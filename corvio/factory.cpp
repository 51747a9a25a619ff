// The library's one export: CreateComponent hands out the component factory, which makes
// every registered kind by its ComponentId.
#include <stdint.h>

#include "components/component.h"
#include "corvio/registry.h"
#include "corvio/report.h"

namespace {

// One factory serves every caller; it lives as long as the library and ignores Release.
class Factory final : public ComponentFactory {
 public:
  int Release(int) override { return 0; }
  int Initialize(int) override { return 0; }
  Component* NewComponent(ComponentId id, const char*) override {
    if (id == ComponentFactory::kId) return nullptr;  // the factory is not a component kind
    return corvio::Guarded([&] { return corvio::MakeRegisteredComponent(id); }, nullptr);
  }
};

}  // namespace

// CORVIO_EXPORT is given by the build, per system (corvio/CMakeLists.txt).
extern "C" CORVIO_EXPORT ComponentFactory* CreateComponent(
    uint32_t id, uint32_t reserved) {
  (void)reserved;
  if (id != ComponentFactory::kId) return nullptr;
  return corvio::Guarded([&] {
    static Factory factory;
    return &factory;
  }, nullptr);
}
