// The table from ComponentId to constructor behind the factory. Each component kind
// registers itself from its own source file, so the factory knows no kind by name.
#pragma once

#include "components/component.h"

namespace corvio {

using ComponentMaker = Component* (*)();

// A static object of this type in a component's source file registers its maker.
struct ComponentRegistration {
  ComponentRegistration(ComponentId id, ComponentMaker maker);
};

// A new component of the kind, or null for an unknown id (or a maker that failed).
Component* MakeRegisteredComponent(ComponentId id);

}  // namespace corvio

#define CORVIO_REGISTER_COMPONENT(id, maker) \
  static ::corvio::ComponentRegistration corvio_registration_##id((id), (maker))
