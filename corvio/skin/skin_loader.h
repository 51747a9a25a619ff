// Reads a skin description file into a control tree, with its images and fonts.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "corvio/skin/control_tree.h"
#include "corvio/skin/resources.h"
#include "corvio/skin/theme.h"

namespace corvio {
namespace skin {

struct LoadedSkin {
  ControlTree tree;
  std::unique_ptr<Resources> resources;
  std::vector<Theme> themes;  // in document order
};

// False with one line "file:line: reason" in *error.
bool LoadSkinFile(const std::string& path, LoadedSkin* out, std::string* error);

// Applies one attribute of the skin format to a node (the loader's and the property
// setter's common ground); false with a reason.
bool ApplyAttribute(Node* node, DialogInfo* dialog, const std::string& attr,
                    const std::string& value, std::string* reason);

// The attributes a control kind takes, in the order of the loader's table.
std::vector<std::string> AttributesOf(Kind kind);

}  // namespace skin
}  // namespace corvio
