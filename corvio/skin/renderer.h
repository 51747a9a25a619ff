// Draws a control tree into a canvas, clipped to the part that changed.
#pragma once

#include <string>

#include "corvio/skin/canvas.h"
#include "corvio/skin/control_tree.h"

namespace corvio {
namespace skin {

struct InteractionState {
  const Node* hover = nullptr;
  const Node* pressed = nullptr;
  const Node* focus = nullptr;
  bool focusVisible = false;  // the focus was moved with the keyboard
  const Node* tooltip = nullptr;  // shows its whole text beside it
  // A link's address under the pointer in a browser pane, shown below the pointer.
  const Node* linkPane = nullptr;
  std::string link;  // UTF-8
  int linkX = 0, linkY = 0;
};

// Where the link tip of state goes in a window of the given size (empty: none); texts are
// measured as drawn at the window's scale.
Rect LinkTipRect(const InteractionState& state, int windowWidth, int windowHeight, float scale = 1.0f);

// Where a control's text goes: its rectangle less the text padding.
Rect TextBox(const Node& node);
// True when the control cuts its text with an ellipsis for want of room.
bool TextIsCut(const Node& node, float scale = 1.0f);
// The tooltip of node in a window of the given size: below the control, else above it.
Rect TooltipRect(const Node& node, int windowWidth, int windowHeight, float scale = 1.0f);

void RenderTree(const ControlTree& tree, const InteractionState& state, const Rect& clip,
                Canvas* canvas);

}  // namespace skin
}  // namespace corvio
