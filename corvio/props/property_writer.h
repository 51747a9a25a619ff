// The PropertyWriter (ComponentId 336): stores named values into a framework bag, with
// values written between BeginValue(290) and EndValue flagged as images.
#pragma once

#include "components/interfaces.h"

namespace corvio {

class PropertyWriterImpl final : public PropertyWriter {
 public:
  int Release(int) override;
  int Initialize(int) override { return 0; }
  // 1 for the image kind (290); any other kind is refused with 0 and changes nothing.
  int BeginValue(int kind) override;
  int EndValue() override;
  // 0 when the bag is not one of ours or the name is missing; a null value is empty.
  int SetProperty(const char* name, const char* value, PropertyBag* bag) override;

  bool InImageValue() const { return image_; }

 private:
  ~PropertyWriterImpl() = default;
  bool image_ = false;
};

}  // namespace corvio
