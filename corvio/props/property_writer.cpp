// The PropertyWriter: named values into a PropertyBagImpl, image values flagged.
#include "corvio/props/property_writer.h"

#include "corvio/props/property_bag_impl.h"
#include "corvio/registry.h"
#include "corvio/report.h"

namespace corvio {

int PropertyWriterImpl::Release(int) {
  delete this;
  return 0;
}

int PropertyWriterImpl::BeginValue(int kind) {
  if (kind != ValueKindImage) return 0;
  image_ = true;
  return 1;
}

int PropertyWriterImpl::EndValue() {
  image_ = false;
  return 1;
}

int PropertyWriterImpl::SetProperty(const char* name, const char* value, PropertyBag* bag) {
  PropertyBagImpl* impl = AsBagImpl(bag);
  if (!impl || !name || !*name) return 0;
  // Out of memory: the bag keeps what it had.
  return Guarded([&] { impl->SetNamed(name, value ? value : "", image_); }) ? 1 : 0;
}

}  // namespace corvio

namespace {

Component* MakePropertyWriter() { return new corvio::PropertyWriterImpl(); }

}  // namespace

CORVIO_REGISTER_COMPONENT(336, MakePropertyWriter);
