// The look of each control kind: backgrounds, state images, texts, the edit box caret and
// the keyboard focus frame.
#include "corvio/skin/renderer.h"

#include "corvio/skin/text_codec.h"

namespace corvio {
namespace skin {

namespace {

const Color kFocusColor{0xFF, 0xD7, 0x00, 0xFF};

void DrawStateImage(const StateImage& image, const Rect& r, const Rect& clip, Canvas* canvas) {
  if (image.pixels) canvas->DrawImage(*image.pixels, r, image.ref.mode, clip);
}

void DrawNodeText(const Node& node, const std::string& utf8, const Rect& box, Color color,
                  HAlign halign, VAlign valign, bool wrap, const Rect& clip, Canvas* canvas) {
  if (node.font) node.font->Draw(canvas, utf8, box, color, halign, valign, wrap, clip);
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
      const StateImage* image = &node.images[kNormalImage];
      if (pressed && node.images[kPressedImage].pixels) image = &node.images[kPressedImage];
      else if ((hover || pressed) && node.images[kHoverImage].pixels) image = &node.images[kHoverImage];
      DrawStateImage(*image, r, area, canvas);
      Color color = hover && !node.hoverTextColor.Transparent() ? node.hoverTextColor : node.textColor;
      Rect box = r;
      if (pressed) box = Rect{r.x + 1, r.y + 1, r.w, r.h};
      DrawNodeText(node, GbkToUtf8(node.text), box, color, node.align, VAlign::Center, false, area,
                   canvas);
      if (state.focus == &node && state.focusVisible) canvas->FrameRect(r, kFocusColor, area);
      break;
    }
    case Kind::Static:
      canvas->FillRect(r, node.bkColor, area);
      DrawStateImage(node.images[kNormalImage], r, area, canvas);
      DrawNodeText(node, GbkToUtf8(node.text), r, node.textColor, node.align, node.valign,
                   node.wordwrap, area, canvas);
      break;
    case Kind::Edit: {
      canvas->FillRect(r, node.bkColor, area);
      DrawStateImage(node.images[kNormalImage], r, area, canvas);
      canvas->FrameRect(r, state.focus == &node ? kFocusColor : node.borderColor, area);
      Rect box{r.x + 4, r.y, r.w - 8, r.h};
      std::string utf8 = GbkToUtf8(node.text);
      DrawNodeText(node, utf8, box, node.textColor, HAlign::Left, VAlign::Center, false,
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
      DrawNodeText(node, node.browserText, Rect{r.x + 6, r.y + 6, r.w - 12, r.h - 12},
                   node.textColor, HAlign::Left, VAlign::Top, true, area, canvas);
      break;
  }
  for (const auto& child : node.children) RenderNode(*child, state, area, canvas);
}

}  // namespace

void RenderTree(const ControlTree& tree, const InteractionState& state, const Rect& clip,
                Canvas* canvas) {
  if (!tree.root) return;
  Rect all = Intersect(clip, Rect{0, 0, canvas->Width(), canvas->Height()});
  canvas->FillRect(all, Color{0, 0, 0, 255}, all);
  RenderNode(*tree.root, state, all, canvas);
}

}  // namespace skin
}  // namespace corvio
