// Draws a control tree into a canvas, clipped to the part that changed.
#pragma once

#include "corvio/skin/canvas.h"
#include "corvio/skin/control_tree.h"

namespace corvio {
namespace skin {

struct InteractionState {
  const Node* hover = nullptr;
  const Node* pressed = nullptr;
  const Node* focus = nullptr;
  bool focusVisible = false;  // the focus was moved with the keyboard
};

void RenderTree(const ControlTree& tree, const InteractionState& state, const Rect& clip,
                Canvas* canvas);

}  // namespace skin
}  // namespace corvio
