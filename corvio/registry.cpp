// The ComponentId table: filled by static registrations while the library loads.
#include "corvio/registry.h"

#include <map>

namespace corvio {
namespace {

std::map<ComponentId, ComponentMaker>& Table() {
  static std::map<ComponentId, ComponentMaker> table;  // built before first registration
  return table;
}

}  // namespace

ComponentRegistration::ComponentRegistration(ComponentId id, ComponentMaker maker) {
  Table()[id] = maker;
}

Component* MakeRegisteredComponent(ComponentId id) {
  auto it = Table().find(id);
  if (it == Table().end()) return nullptr;
  return it->second();  // the factory's NewComponent is the boundary that guards this
}

}  // namespace corvio
