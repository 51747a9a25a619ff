// The framework's PropertyBag: named values written by a PropertyWriter (image values
// flagged), and numbered texts and numbers (PropText, PropWindowHandle, ...). The skin
// engine reads a bag through this class.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "components/interfaces.h"

namespace corvio {

struct NamedProperty {
  std::string name;   // "Visible", "Caption", "Background", ...
  std::string value;  // as written; image values read "ONEIMAGE:file;Tile"
  bool image;         // written between BeginValue(290) and EndValue
};

class PropertyBagImpl final : public PropertyBag {
 public:
  int Release(int) override {
    delete this;
    return 0;
  }
  int Initialize(int) override { return 0; }
  int SetString(int key, const char* text) override {
    strings_[key] = text ? text : "";
    return 1;
  }
  int GetValue(int key, int) override {
    auto it = numbers_.find(key);
    return it == numbers_.end() ? 0 : it->second;
  }
  int Clear() override {
    named_.clear();
    strings_.clear();
    numbers_.clear();
    return 1;
  }

  // A later value of the same name replaces the earlier one.
  void SetNamed(const std::string& name, const std::string& value, bool image) {
    for (auto& p : named_) {
      if (p.name == name) {
        p.value = value;
        p.image = image;
        return;
      }
    }
    named_.push_back(NamedProperty{name, value, image});
  }
  void SetNumber(int key, int value) { numbers_[key] = value; }

  const std::vector<NamedProperty>& Named() const { return named_; }
  const std::string* StringFor(int key) const {
    auto it = strings_.find(key);
    return it == strings_.end() ? nullptr : &it->second;
  }

 private:
  ~PropertyBagImpl() = default;
  std::vector<NamedProperty> named_;
  std::map<int, std::string> strings_;
  std::map<int, int> numbers_;
};

// The framework's own bag behind an interface pointer, or null for a foreign one.
inline PropertyBagImpl* AsBagImpl(PropertyBag* bag) {
  return bag ? dynamic_cast<PropertyBagImpl*>(bag) : nullptr;
}

}  // namespace corvio
