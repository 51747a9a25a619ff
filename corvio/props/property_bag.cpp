// Registers the framework's property bag (ComponentId 282).
#include "components/interfaces.h"
#include "corvio/props/property_bag_impl.h"
#include "corvio/registry.h"

namespace {

Component* MakePropertyBag() { return new corvio::PropertyBagImpl(); }

}  // namespace

CORVIO_REGISTER_COMPONENT(282, MakePropertyBag);
