// Themes: what a theme's colours apply to, and which file is drawn for an image name.
#include "corvio/skin/theme.h"

#include <ctype.h>
#include <stdio.h>

#include "corvio/skin/resources.h"
#include "corvio/skin/skin_loader.h"

namespace corvio {
namespace skin {

Color* ThemeColorField(Node* node, const std::string& attr) {
  if (attr == "textcolor") return &node->textColor;
  if (attr == "hovertextcolor") return &node->hoverTextColor;
  if (attr == "bkcolor") return &node->bkColor;
  if (attr == "bordercolor") return &node->borderColor;
  return nullptr;
}

bool ResolveThemeColors(const ControlTree& tree, std::vector<Theme>* themes, int* line,
                        std::string* reason) {
  for (Theme& theme : *themes) {
    for (ThemeColor& color : theme.colors) {
      *line = color.line;
      const std::string where = " (theme \"" + theme.name + "\")";
      color.node = tree.ByName(color.control);
      if (!color.node) {
        *reason = "no control \"" + color.control + "\"" + where;
        return false;
      }
      bool takes = false;
      for (const std::string& a : AttributesOf(color.node->kind)) takes = takes || a == color.attr;
      if (!takes) {
        *reason = std::string(KindName(color.node->kind)) + " \"" + color.control + "\" takes no " +
                  color.attr + where;
        return false;
      }
      color.base = *ThemeColorField(color.node, color.attr);
    }
  }
  return true;
}

std::string ThemedImageName(Theme* theme, const std::string& folder, const std::string& name) {
  if (!theme || theme->imageSuffix.empty() || name.empty()) return name;
  auto known = theme->drawnNames.find(name);
  if (known != theme->drawnNames.end()) return known->second;
  const size_t slash = name.find_last_of("/\\");
  const size_t start = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot < start) dot = name.size();
  const std::string themed = name.substr(0, dot) + theme->imageSuffix + name.substr(dot);
  FILE* file = fopen(ResolveSkinFile(folder, themed).c_str(), "rb");
  if (file) fclose(file);
  return theme->drawnNames[name] = file ? themed : name;
}

bool SameImageName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace skin
}  // namespace corvio
