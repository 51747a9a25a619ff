// Layout, scrolling and input of the pane's page. The page is laid out to the pane's
// width less the scroll bar when it is taller than the pane; wider content is clipped.
#include "corvio/skin/browser/page_view.h"

#include <string.h>

#include <algorithm>

#include "corvio/skin/browser/html_container.h"
#include "corvio/skin/browser/link_rules.h"
#include "corvio/skin/browser/page_load.h"

namespace corvio {
namespace skin {

bool PageView::NeedsLayout() const {
  return load_->CurrentStage() == PageLoad::Stage::kRead && laidOutImages_ != load_->ImagesArrived();
}

bool PageView::Layout(int width, int height) {
  if (load_->CurrentStage() != PageLoad::Stage::kRead) return false;
  litehtml::document::ptr doc = load_->Document();
  HtmlContainer* container = load_->Container();
  if (!doc || !container) return false;
  laidOutImages_ = load_->ImagesArrived();
  width_ = std::max(1, width);
  height_ = std::max(1, height);
  container->SetViewport(width_, height_);
  doc->render(width_);
  if (doc->height() > height_) doc->render(std::max(1, width_ - kBarWidth - 2));
  contentHeight_ = doc->height();
  scrollY_ = std::clamp(scrollY_, 0, MaxScroll());
  return true;
}

int PageView::MaxScroll() const { return std::max(0, contentHeight_ - height_); }

int PageView::LineStep() const {
  HtmlContainer* container = load_->Container();
  return container ? std::max(8, container->get_default_font_size() * 4 / 3) : 16;
}

bool PageView::ScrollTo(int y) {
  const int to = std::clamp(y, 0, MaxScroll());
  if (to == scrollY_) return false;
  scrollY_ = to;
  return true;
}

bool PageView::ScrollBy(int pixels) { return ScrollTo(scrollY_ + pixels); }

Rect PageView::Thumb(const Rect& pane) const {
  if (MaxScroll() <= 0 || contentHeight_ <= 0) return Rect{};
  const int h = std::max(24, static_cast<int>(static_cast<long long>(pane.h) * pane.h / contentHeight_));
  const int y = pane.y + static_cast<int>(static_cast<long long>(pane.h - h) * scrollY_ / MaxScroll());
  return Rect{pane.x + pane.w - kBarWidth - 1, y, kBarWidth, std::min(h, pane.h)};
}

void PageView::Draw(Canvas* canvas, const Rect& pane, const Rect& clip, Color barColor) {
  litehtml::document::ptr doc = load_->Document();
  HtmlContainer* container = load_->Container();
  if (load_->CurrentStage() != PageLoad::Stage::kRead || !doc || !container) return;
  const Rect area = Intersect(pane, clip);
  if (area.Empty()) return;
  container->BeginDraw(canvas, area);
  const litehtml::position view(area.x, area.y, area.w, area.h);
  doc->draw(reinterpret_cast<litehtml::uint_ptr>(canvas), pane.x, pane.y - scrollY_, &view);
  container->BeginDraw(nullptr, Rect{});
  const Rect thumb = Thumb(pane);
  if (thumb.Empty()) return;
  Color track = barColor;
  track.a = static_cast<uint8_t>(barColor.a / 4);
  canvas->FillRect(Rect{thumb.x, pane.y, thumb.w, pane.h}, track, area);
  canvas->FillRect(thumb, barColor, area);
}

namespace {

// What shows of an element: hidden ones (head, scripts, display:none) give nothing, a
// block is set apart from its neighbours by a blank.
void AppendShownText(const litehtml::element::ptr& el, std::string* raw) {
  if (el->css().get_display() == litehtml::display_none) return;
  if (el->is_text()) {
    el->get_text(*raw);
    return;
  }
  if (el->is_block_box()) *raw += ' ';
  for (const auto& child : el->children()) AppendShownText(child, raw);
  if (el->is_block_box()) *raw += ' ';
}

}  // namespace

std::string PageView::Text() const {
  litehtml::document::ptr doc = load_->Document();
  if (!doc || !doc->root()) return std::string();
  std::string raw, text;
  AppendShownText(doc->root(), &raw);
  for (char c : raw) {
    const bool blank = c == ' ' || c == '\n' || c == '\r' || c == '\t';
    if (blank && (text.empty() || text.back() == ' ')) continue;
    text += blank ? ' ' : c;
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string PageView::LinkAt(int docX, int docY) const {
  litehtml::document::ptr doc = load_->Document();
  if (!doc) return std::string();
  litehtml::position::vector boxes;
  doc->on_mouse_over(docX, docY, docX, docY - scrollY_, boxes);
  for (litehtml::element::const_ptr el = doc->get_over_element(); el; el = el->parent()) {
    const char* tag = el->get_tagName();
    const char* href = el->get_attr("href");
    if (tag && href && strcmp(tag, "a") == 0) return ResolveUrl(load_->Container()->BaseUrl(), href);
  }
  return std::string();
}

bool PageView::MouseMove(int x, int y, const Rect& pane) {
  if (dragFrom_ >= 0) {
    const Rect thumb = Thumb(pane);
    const int travel = pane.h - thumb.h;
    if (travel <= 0) return false;
    return ScrollTo(dragScroll_ + static_cast<int>(static_cast<long long>(y - dragFrom_) * MaxScroll() / travel));
  }
  const std::string link = LinkAt(x - pane.x, y - pane.y + scrollY_);
  if (link == hoverLink_) return false;
  hoverLink_ = link;
  return true;
}

bool PageView::MouseDown(int x, int y, const Rect& pane) {
  const Rect thumb = Thumb(pane);
  if (!thumb.Empty() && x >= thumb.x - 2) {
    if (y >= thumb.y && y < thumb.y + thumb.h) {
      dragFrom_ = y;
      dragScroll_ = scrollY_;
      return false;
    }
    return PageKey(y >= thumb.y + thumb.h);  // the track pages towards the pointer
  }
  litehtml::document::ptr doc = load_->Document();
  if (!doc) return false;
  litehtml::position::vector boxes;
  const int dx = x - pane.x, dy = y - pane.y + scrollY_;
  return doc->on_lbutton_down(dx, dy, dx, y - pane.y, boxes);
}

bool PageView::MouseUp(int x, int y, const Rect& pane, std::string* link) {
  link->clear();
  if (dragFrom_ >= 0) {
    dragFrom_ = -1;
    return false;
  }
  litehtml::document::ptr doc = load_->Document();
  HtmlContainer* container = load_->Container();
  if (!doc || !container) return false;
  litehtml::position::vector boxes;
  const int dx = x - pane.x, dy = y - pane.y + scrollY_;
  const bool changed = doc->on_lbutton_up(dx, dy, dx, y - pane.y, boxes);
  *link = container->TakeClickedLink();
  return changed;
}

bool PageView::MouseLeave() {
  dragFrom_ = -1;
  litehtml::document::ptr doc = load_->Document();
  litehtml::position::vector boxes;
  if (doc) doc->on_mouse_leave(boxes);
  const bool had = !hoverLink_.empty();
  hoverLink_.clear();
  return had;
}

}  // namespace skin
}  // namespace corvio
