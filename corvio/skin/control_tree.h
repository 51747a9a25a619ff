// The control tree of a loaded skin: what each control is, where it lies and how it
// looks, with lookups by id, name and backslash path.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "corvio/skin/canvas.h"
#include "corvio/skin/font.h"
#include "corvio/skin/skin_types.h"

namespace corvio {
namespace skin {

class PageView;

enum class Kind { Dialog, Container, Button, Static, Edit, Image, Browser };
const char* KindName(Kind kind);
bool KindFromName(const std::string& name, Kind* out);

// A state image: the reference as given and its decoded pixels (null: none).
struct StateImage {
  ImageRef ref;
  std::shared_ptr<Image> pixels;
};

struct Node {
  Kind kind = Kind::Container;
  std::string name;
  int id = 0;
  int line = 0;  // of its element in the skin file
  Node* parent = nullptr;
  std::vector<std::unique_ptr<Node>> children;

  Rect pos;  // relative to the parent
  bool posGiven = false;
  Rect abs;  // in window coordinates, after layout
  bool visible = true;

  std::string text;  // GBK
  std::string fontName;
  std::shared_ptr<Font> font;
  Color textColor{0, 0, 0, 255};
  Color hoverTextColor{0, 0, 0, 0};  // transparent: same as textColor
  Color bkColor{0, 0, 0, 0};
  Color borderColor{160, 160, 160, 255};
  HAlign align = HAlign::Left;
  VAlign valign = VAlign::Center;
  bool wordwrap = false;
  int padLeft = 0, padRight = 0;  // the text's inset from the control's sides
  bool ellipsis = false;          // a line too wide ends in an ellipsis (and gets a tooltip)
  std::string tooltip;            // GBK; a button shows it (before a cut caption) under the pointer
  std::string shortcut;           // a key name ("F5") that clicks this button
  int cornerRadius = 0;           // the focus ring follows this rounding
  std::string group;              // buttons of one group: at most one is selected
  bool selected = false;
  int maxLength = 1023;
  bool readonly = false;
  std::string url;          // browser: the page
  std::string browserText;  // browser: the page's text, UTF-8, as dumps report it
  std::shared_ptr<PageView> page;  // browser: the page once it is read
  StateImage images[4];     // normal (or the background / the image), hover, pressed, selected
};

enum ImageSlot { kNormalImage = 0, kHoverImage = 1, kPressedImage = 2, kSelectedImage = 3 };

// What the dialog element adds to its node.
struct DialogInfo {
  int width = 0, height = 0;
  std::string title;  // GBK
  Rect caption;       // drag area, window coordinates
  std::string defaultButton, cancelButton;
  bool borderless = true;
  bool posGiven = false;
  Rect pos;
};

class ControlTree {
 public:
  std::unique_ptr<Node> root;
  DialogInfo dialog;
  std::string folder;  // the skin file's folder: image and font names resolve here
  std::vector<Node*> byId;  // index id - 1

  void Index();   // numbers the nodes 1, 2, ... in document order
  void Layout();  // computes abs for every node
  Node* ById(int id) const;
  Node* ByName(const std::string& nameOrPath) const;  // a bare name or a path
  Node* ByPath(const std::string& path) const;
  static std::string PathOf(const Node* node);
  // Visible itself and through every parent.
  static bool Shown(const Node* node);
};

}  // namespace skin
}  // namespace corvio
