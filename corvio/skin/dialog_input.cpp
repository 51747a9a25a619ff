// Mouse and keyboard of a dialog: hit-testing, button states, focus, the edit box, and
// the events that follow (posted, so that they reach the program from its own loop).
#include <algorithm>

#include "corvio/report.h"
#include "corvio/skin/browser/link_rules.h"
#include "corvio/skin/browser/open_link.h"
#include "corvio/skin/browser/page_view.h"
#include "corvio/skin/skin_dialog_impl.h"
#include "corvio/skin/text_codec.h"

namespace corvio {
namespace skin {

namespace {

// A read-only box only shows a text: it takes neither clicks nor the focus. A browser pane
// takes both once it shows a page (it scrolls).
bool Interactive(const Node* node) {
  return node->kind == Kind::Button || (node->kind == Kind::Edit && !node->readonly) ||
         (node->kind == Kind::Browser && node->page);
}

bool IsPane(const Node* node) { return node && node->kind == Kind::Browser && node->page; }

// The topmost interactive control under the point: later siblings lie above earlier ones.
Node* HitNode(Node* node, int x, int y) {
  if (!node->visible || !node->abs.Contains(x, y)) return nullptr;
  for (auto it = node->children.rbegin(); it != node->children.rend(); ++it)
    if (Node* hit = HitNode(it->get(), x, y)) return hit;
  return Interactive(node) ? node : nullptr;
}

void CollectFocusable(Node* node, std::vector<Node*>* out) {
  if (!node->visible) return;
  if (Interactive(node)) out->push_back(node);
  for (auto& child : node->children) CollectFocusable(child.get(), out);
}

// Hidden ones too: a carrier showing one district is still a grid of its own.
void CollectGroup(Node* node, const std::string& group, std::vector<Node*>* out) {
  if (node->kind == Kind::Button && node->group == group) out->push_back(node);
  for (auto& child : node->children) CollectGroup(child.get(), group, out);
}

// The buttons the arrow keys move among from `from`: those of its group inside the
// smallest container around it that holds another of them (one carrier's grid, not the
// next carrier's).
std::vector<Node*> GridOf(Node* from) {
  std::vector<Node*> grid;
  if (from->kind != Kind::Button || from->group.empty()) return grid;
  for (Node* box = from->parent; box && grid.size() < 2; box = box->parent) {
    grid.clear();
    CollectGroup(box, from->group, &grid);
  }
  return grid;
}

// The neighbour of `from` in the arrow's direction: Left and Right stay in its row, Up and
// Down in its column; at the grid's edge there is none.
Node* GridNeighbour(Node* from, Key key) {
  const Rect& a = from->abs;
  const bool across = key == Key::Left || key == Key::Right;
  const int sign = key == Key::Right || key == Key::Down ? 1 : -1;
  Node* best = nullptr;
  int bestGap = 0;
  for (Node* n : GridOf(from)) {
    const Rect& b = n->abs;
    const bool inLine = across ? b.y < a.y + a.h && a.y < b.y + b.h : b.x < a.x + a.w && a.x < b.x + b.w;
    const int gap = sign * (across ? (b.x + b.w / 2) - (a.x + a.w / 2) : (b.y + b.h / 2) - (a.y + a.h / 2));
    if (n == from || !inLine || gap <= 0 || !ControlTree::Shown(n)) continue;
    if (!best || gap < bestGap) best = n, bestGap = gap;
  }
  return best;
}

}  // namespace

Node* SkinDialogImpl::HitTest(int x, int y) const {
  if (!skin_.tree.root) return nullptr;
  return HitNode(skin_.tree.root.get(), x, y);
}

// The controls in document order, then the browser panes: reading comes after choosing.
std::vector<Node*> SkinDialogImpl::FocusOrder() const {
  std::vector<Node*> out;
  if (skin_.tree.root) CollectFocusable(skin_.tree.root.get(), &out);
  std::stable_partition(out.begin(), out.end(), [](Node* n) { return !IsPane(n); });
  return out;
}

void SkinDialogImpl::SetLinkTip(Node* pane, int x, int y) {
  const std::string link = pane ? pane->page->HoverLink() : std::string();
  if (state_.link == link && (link.empty() || (state_.linkX == x && state_.linkY == y))) return;
  Invalidate(LinkTipRect(state_, canvas_.UnitsWide(), canvas_.UnitsHigh(), canvas_.Scale()));
  state_.linkPane = link.empty() ? nullptr : pane;
  state_.link = link;
  state_.linkX = x;
  state_.linkY = y;
  Invalidate(LinkTipRect(state_, canvas_.UnitsWide(), canvas_.UnitsHigh(), canvas_.Scale()));
  const BackendOps* ops = ActiveBackend();
  if (window_ && ops && ops->set_hand_cursor) ops->set_hand_cursor(window_, !link.empty());
}

// A pointer over (or dragging in) a browser pane goes to its page; true when it did.
bool SkinDialogImpl::PaneMouseMove(Node* hit, int x, int y) {
  Node* pane = IsPane(pressed_) ? pressed_ : IsPane(hit) ? hit : nullptr;
  if (!pane) {
    if (state_.linkPane && state_.linkPane->page && state_.linkPane->page->MouseLeave())
      InvalidateNode(state_.linkPane);
    SetLinkTip(nullptr, x, y);
    return false;
  }
  if (pane->page->MouseMove(x, y, pane->abs)) InvalidateNode(pane);
  SetLinkTip(pane, x, y);
  return true;
}

void SkinDialogImpl::OnMouseWheel(int x, int y, int notches) {
  if (!AcceptsInput()) return;
  Node* hit = HitTest(x, y);
  if (IsPane(hit) && hit->page->Wheel(notches)) {
    InvalidateNode(hit);
    PaneMouseMove(hit, x, y);  // another link may be under the pointer now
  }
}

void SkinDialogImpl::OnMouseMove(int x, int y) {
  if (!AcceptsInput()) return;
  Node* hit = HitTest(x, y);
  if (PaneMouseMove(hit, x, y)) hit = nullptr;
  if (hit && hit->kind != Kind::Button) hit = nullptr;
  if (hit == state_.hover) return;
  InvalidateNode(state_.hover);
  state_.hover = hit;
  InvalidateNode(hit);
  SetTooltip(hit && (!hit->tooltip.empty() || TextIsCut(*hit, canvas_.Scale())) ? hit : nullptr);
}

void SkinDialogImpl::SetTooltip(const Node* node) {
  if (state_.tooltip == node) return;
  if (state_.tooltip) Invalidate(TooltipRect(*state_.tooltip, canvas_.UnitsWide(), canvas_.UnitsHigh(), canvas_.Scale()));
  state_.tooltip = node;
  if (node) Invalidate(TooltipRect(*node, canvas_.UnitsWide(), canvas_.UnitsHigh(), canvas_.Scale()));
}

void SkinDialogImpl::OnMouseDown(int x, int y) {
  if (!AcceptsInput()) return;
  OnMouseMove(x, y);
  Node* hit = HitTest(x, y);
  if (!hit) return;
  // A click takes the focus along, so that Space and the arrows go on from what was chosen.
  FocusNode(hit);
  state_.focusVisible = false;
  if (IsPane(hit)) {
    pressed_ = hit;
    if (hit->page->MouseDown(x, y, hit->abs)) InvalidateNode(hit);
    return;
  }
  if (hit->kind == Kind::Edit) return;
  pressed_ = hit;
  state_.pressed = hit;
  InvalidateNode(hit);
}

void SkinDialogImpl::OnMouseUp(int x, int y) {
  if (!AcceptsInput()) return;
  Node* was = pressed_;
  pressed_ = nullptr;
  state_.pressed = nullptr;
  if (!was) return;
  InvalidateNode(was);
  if (IsPane(was)) {
    std::string link;
    was->page->MouseUp(x, y, was->abs, &link);
    if (!link.empty() && !OpenLink(link) && !IsWebUrl(link))
      ReportF("[Corvio_Browser]", "link %s not opened: only http and https links leave the launcher",
              link.c_str());
    return;
  }
  Node* hit = HitTest(x, y);
  // A click is a press and a release on the same button; releasing elsewhere cancels it.
  if (hit == was && ControlTree::Shown(was)) PostNotify(NotifyClick, 0, was->id);
}

void SkinDialogImpl::OnMouseLeave() {
  InvalidateNode(state_.hover);
  state_.hover = nullptr;
  SetTooltip(nullptr);
  if (!IsPane(pressed_)) PaneMouseMove(nullptr, 0, 0);
}

void SkinDialogImpl::FocusNode(Node* node) {
  if (state_.focus == node) return;
  InvalidateNode(state_.focus);
  state_.focus = node;
  InvalidateNode(node);
}

void SkinDialogImpl::Activate(Node* button) {
  if (button && button->kind == Kind::Button && ControlTree::Shown(button))
    PostNotify(NotifyClick, 0, button->id);
}

void SkinDialogImpl::OnKey(Key key) {
  if (!AcceptsInput() || !skin_.tree.root) return;
  const DialogInfo& info = skin_.tree.dialog;
  Node* focus = const_cast<Node*>(state_.focus);
  if (focus && !ControlTree::Shown(focus)) focus = nullptr;
  switch (key) {
    case Key::Enter:
      // The default button whatever has the focus: Enter never re-picks a focused choice.
      if (!info.defaultButton.empty()) Activate(skin_.tree.ByName(info.defaultButton));
      else if (focus && focus->kind == Kind::Button) Activate(focus);
      break;
    case Key::Escape:
      if (!info.cancelButton.empty()) Activate(skin_.tree.ByName(info.cancelButton));
      break;
    case Key::Space:
      if (focus && focus->kind == Kind::Button) Activate(focus);
      break;
    case Key::Tab:
    case Key::ShiftTab: {
      std::vector<Node*> order = FocusOrder();
      if (order.empty()) break;
      auto it = std::find(order.begin(), order.end(), focus);
      size_t index;
      if (it == order.end()) {
        index = key == Key::Tab ? 0 : order.size() - 1;
      } else {
        size_t at = it - order.begin();
        index = key == Key::Tab ? (at + 1) % order.size() : (at + order.size() - 1) % order.size();
      }
      FocusNode(order[index]);
      state_.focusVisible = true;
      InvalidateNode(order[index]);
      break;
    }
    case Key::PageUp:
    case Key::PageDown:
    case Key::Home:
    case Key::End:
      if (IsPane(focus)) {
        PageView& page = *focus->page;
        const bool moved = key == Key::Home   ? page.ScrollTo(0)
                           : key == Key::End  ? page.ScrollTo(page.MaxScroll())
                                              : page.PageKey(key == Key::PageDown);
        if (moved) InvalidateNode(focus);
      }
      break;
    case Key::Up:
    case Key::Down:
    case Key::Left:
    case Key::Right:
      if (Node* next = focus ? GridNeighbour(focus, key) : nullptr) {
        FocusNode(next);
        state_.focusVisible = true;
      }
      break;
    case Key::F5:
      for (Node* button : skin_.tree.byId)
        if (button->kind == Kind::Button && button->shortcut == "F5" && ControlTree::Shown(button)) {
          Activate(button);
          break;
        }
      break;
    case Key::Backspace:
      if (focus && focus->kind == Kind::Edit && !focus->readonly && !focus->text.empty()) {
        PopLastGbkChar(&focus->text);
        InvalidateNode(focus);
      }
      break;
  }
}

void SkinDialogImpl::OnTextInput(const char* utf8) {
  if (!AcceptsInput() || !utf8) return;
  Node* focus = const_cast<Node*>(state_.focus);
  if (!focus || focus->kind != Kind::Edit || focus->readonly || !ControlTree::Shown(focus)) return;
  std::string gbk = Utf8ToGbk(utf8);
  // Whole characters only, within the box's limit.
  size_t i = 0;
  while (i < gbk.size()) {
    const size_t len = GbkCharLengthAt(gbk, i);
    if (focus->text.size() + len > static_cast<size_t>(focus->maxLength)) break;
    focus->text.append(gbk, i, len);
    i += len;
  }
  InvalidateNode(focus);
}

void SkinDialogImpl::OnCloseRequest() {
  if (!AcceptsInput() || !skin_.tree.root) return;
  PostNotify(0, WindowMessageClose, skin_.tree.root->id);
}

void SkinDialogImpl::OnExposed() { Invalidate(Rect{0, 0, canvas_.UnitsWide(), canvas_.UnitsHigh()}); }

bool SkinDialogImpl::IsDragArea(int x, int y) {
  if (!skin_.tree.root || !AcceptsInput()) return false;
  return skin_.tree.dialog.caption.Contains(x, y) && HitTest(x, y) == nullptr;
}

}  // namespace skin
}  // namespace corvio
