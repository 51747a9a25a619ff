// Themes of a skin: a background image that, once a dialog (or the dialog that owns it)
// shows it, brings its own images (the same names with a suffix) and colours of its own
// for named controls, so that everything matches the background.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "corvio/skin/control_tree.h"

namespace corvio {
namespace skin {

struct ThemeColor {
  std::string control;  // a name or a path
  std::string attr;     // one of the colour attributes, see ThemeColorField
  Color value;
  int line = 0;
  Node* node = nullptr;  // found once the tree is built
  Color base;            // the skin's own colour, given back when the theme goes
};

struct Theme {
  std::string name;
  std::string background;   // the image that brings the theme
  std::string imageSuffix;  // inserted before an image name's extension
  std::vector<ThemeColor> colors;
  int line = 0;
  std::map<std::string, std::string> drawnNames;  // image name -> the file drawn for it
};

// The colour a theme may give: textcolor, hovertextcolor, bkcolor, bordercolor; null for
// any other attribute.
Color* ThemeColorField(Node* node, const std::string& attr);

// Finds each colour's control and keeps its own colour; false with the line and reason.
bool ResolveThemeColors(const ControlTree& tree, std::vector<Theme>* themes, int* line,
                        std::string* reason);

// The file drawn for an image the skin or the program names: its themed name where that
// file exists in folder, else the name itself. Looked up once per name.
std::string ThemedImageName(Theme* theme, const std::string& folder, const std::string& name);

// Image names compare as Windows compares file names: without regard to ASCII case.
bool SameImageName(const std::string& a, const std::string& b);

}  // namespace skin
}  // namespace corvio
