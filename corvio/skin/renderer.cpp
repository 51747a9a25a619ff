// The look of each control kind: backgrounds, state images, texts, the edit box caret and
// the keyboard focus frame.
#include "corvio/skin/renderer.h"

#include <algorithm>

#include "corvio/skin/browser/page_view.h"
#include "corvio/skin/text_codec.h"

namespace corvio {
namespace skin {

namespace {

const Color kFocusColor{0xFF, 0xD7, 0x00, 0xFF};
const Color kTooltipBack{0x10, 0x16, 0x22, 0xF2};
const Color kTooltipBorder{0x8C, 0x9C, 0xB8, 0xFF};
const Color kTooltipText{0xF2, 0xF4, 0xF8, 0xFF};
const int kTooltipPad = 6;

void DrawStateImage(const StateImage& image, const Rect& r, const Rect& clip, Canvas* canvas) {
  if (image.pixels) canvas->DrawImage(*image.pixels, r, image.ref.mode, clip);
}

void DrawNodeText(const Node& node, const std::string& utf8, const Rect& box, Color color,
                  HAlign halign, VAlign valign, bool wrap, const Rect& clip, Canvas* canvas) {
  if (node.font)
    node.font->Draw(canvas, utf8, box, color, halign, valign, wrap, clip, node.ellipsis);
}

void DrawFocusRing(const Node& node, const Rect& area, Canvas* canvas) {
  if (node.cornerRadius > 0) canvas->FrameRoundRect(node.abs, node.cornerRadius, 1, kFocusColor, area);
  else canvas->FrameRect(node.abs, kFocusColor, area);
}

void RenderNode(const Node& node, const InteractionState& state, const Rect& clip,
                Canvas* canvas) {
  if (!node.visible) return;
  Rect area = Intersect(node.abs, clip);
  if (area.Empty() && node.kind != Kind::Container && node.kind != Kind::Dialog) return;
  const Rect& r = node.abs;
  switch (node.kind) {
    case Kind::Dialog:
    case Kind::Container:
      canvas->FillRect(r, node.bkColor, area);
      DrawStateImage(node.images[kNormalImage], r, area, canvas);
      break;
    case Kind::Button: {
      bool hover = state.hover == &node;
      bool pressed = state.pressed == &node && hover;
      // The chosen button looks lit (its hover look) until another is chosen.
      bool lit = hover || node.selected;
      const StateImage* image = &node.images[kNormalImage];
      if (pressed && node.images[kPressedImage].pixels) image = &node.images[kPressedImage];
      else if ((lit || pressed) && node.images[kHoverImage].pixels) image = &node.images[kHoverImage];
      DrawStateImage(*image, r, area, canvas);
      if (node.selected && !pressed) DrawStateImage(node.images[kSelectedImage], r, area, canvas);
      Color color = lit && !node.hoverTextColor.Transparent() ? node.hoverTextColor : node.textColor;
      Rect box = TextBox(node);
      if (pressed) box = Rect{box.x + 1, box.y + 1, box.w, box.h};
      DrawNodeText(node, GbkToUtf8(node.text), box, color, node.align, VAlign::Center, false,
                   Intersect(area, r), canvas);
      if (state.focus == &node && state.focusVisible) DrawFocusRing(node, area, canvas);
      break;
    }
    case Kind::Static:
      canvas->FillRect(r, node.bkColor, area);
      DrawStateImage(node.images[kNormalImage], r, area, canvas);
      DrawNodeText(node, GbkToUtf8(node.text), TextBox(node), node.textColor, node.align,
                   node.valign, node.wordwrap, area, canvas);
      break;
    case Kind::Edit: {
      canvas->FillRect(r, node.bkColor, area);
      DrawStateImage(node.images[kNormalImage], r, area, canvas);
      if (state.focus == &node && node.cornerRadius > 0) DrawFocusRing(node, area, canvas);
      else canvas->FrameRect(r, state.focus == &node ? kFocusColor : node.borderColor, area);
      Rect box = TextBox(node);
      std::string utf8 = GbkToUtf8(node.text);
      DrawNodeText(node, utf8, box, node.textColor, node.align, VAlign::Center, false,
                   Intersect(area, box), canvas);
      if (state.focus == &node && !node.readonly && node.font) {
        int x = box.x + node.font->TextWidth(DecodeUtf8(utf8), 0, DecodeUtf8(utf8).size());
        int h = node.font->LineHeight();
        canvas->FillRect(Rect{x, r.y + (r.h - h) / 2, 1, h}, node.textColor, area);
      }
      break;
    }
    case Kind::Image:
      DrawStateImage(node.images[kNormalImage], r, area, canvas);
      break;
    case Kind::Browser:
      canvas->FillRect(r, node.bkColor, area);
      // The scroll bar in the pane's text colour, half seen, so it follows the theme.
      if (node.page)
        node.page->Draw(canvas, r, area, Color{node.textColor.r, node.textColor.g, node.textColor.b, 0x90});
      if (state.focus == &node && state.focusVisible) DrawFocusRing(node, area, canvas);
      break;
  }
  for (const auto& child : node.children) RenderNode(*child, state, area, canvas);
}

void DrawTip(Font* font, const std::string& utf8, const Rect& r, const Rect& clip, Canvas* canvas) {
  Rect area = Intersect(r, clip);
  if (area.Empty()) return;
  canvas->FillRect(r, kTooltipBack, area);
  canvas->FrameRect(r, kTooltipBorder, area);
  font->Draw(canvas, utf8, Rect{r.x + kTooltipPad, r.y, r.w - 2 * kTooltipPad, r.h}, kTooltipText,
             HAlign::Left, VAlign::Center, false, area, true);
}

// A button's own tooltip, else its whole (cut) caption.
const std::string& TipText(const Node& node) { return node.tooltip.empty() ? node.text : node.tooltip; }

void RenderTooltip(const Node& node, const Rect& clip, Canvas* canvas) {
  if (!node.font) return;
  DrawTip(node.font.get(), GbkToUtf8(TipText(node)), TooltipRect(node, canvas->UnitsWide(), canvas->UnitsHigh(), canvas->Scale()), clip, canvas);
}

}  // namespace

Rect TextBox(const Node& node) {
  const Rect& r = node.abs;
  return Rect{r.x + node.padLeft, r.y, std::max(0, r.w - node.padLeft - node.padRight), r.h};
}

bool TextIsCut(const Node& node, float scale) {
  if (!node.ellipsis || !node.font || node.text.empty()) return false;
  return node.font->TextWidthAt(GbkToUtf8(node.text), scale) > TextBox(node).w;
}

Rect LinkTipRect(const InteractionState& state, int windowWidth, int windowHeight, float scale) {
  const Node* pane = state.linkPane;
  if (!pane || !pane->font || state.link.empty()) return Rect{};
  const int w = std::min(pane->font->TextWidthAt(state.link, scale) + 2 * kTooltipPad, windowWidth);
  const int h = pane->font->LineHeight() + 8;
  const int x = std::max(0, std::min(state.linkX, windowWidth - w));
  int y = state.linkY + 20;
  if (y + h > windowHeight) y = std::max(0, state.linkY - h - 4);
  return Rect{x, y, w, h};
}

Rect TooltipRect(const Node& node, int windowWidth, int windowHeight, float scale) {
  if (!node.font) return Rect{};
  int w = node.font->TextWidthAt(GbkToUtf8(TipText(node)), scale) + 2 * kTooltipPad;
  int h = node.font->LineHeight() + 8;
  w = std::min(w, windowWidth);
  int x = std::max(0, std::min(node.abs.x, windowWidth - w));
  int y = node.abs.y + node.abs.h + 2;
  if (y + h > windowHeight) y = std::max(0, node.abs.y - h - 2);
  return Rect{x, y, w, h};
}

void RenderTree(const ControlTree& tree, const InteractionState& state, const Rect& clip,
                Canvas* canvas) {
  if (!tree.root) return;
  Rect all = Intersect(clip, Rect{0, 0, canvas->UnitsWide(), canvas->UnitsHigh()});
  canvas->FillRect(all, Color{0, 0, 0, 255}, all);
  RenderNode(*tree.root, state, all, canvas);
  if (state.tooltip && ControlTree::Shown(state.tooltip)) RenderTooltip(*state.tooltip, all, canvas);
  if (state.linkPane && ControlTree::Shown(state.linkPane) && state.linkPane->font)
    DrawTip(state.linkPane->font.get(), state.link, LinkTipRect(state, canvas->UnitsWide(), canvas->UnitsHigh(), canvas->Scale()), all, canvas);
}

}  // namespace skin
}  // namespace corvio
