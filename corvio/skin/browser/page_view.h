// The notice pane's page on the user-interface thread: laid out to the pane's width,
// drawn scrolled, with its scroll bar, and the pane's mouse wheel, keys, links and cursor.
#pragma once

#include <algorithm>
#include <memory>
#include <string>

#include "corvio/skin/canvas.h"

namespace corvio {
namespace skin {

class PageLoad;

class PageView {
 public:
  static constexpr int kBarWidth = 6;
  static constexpr int kWheelLines = 3;

  explicit PageView(std::shared_ptr<PageLoad> load) : load_(std::move(load)) {}
  // Lays the read page out for a pane of this size (again when images arrived); false
  // while there is no document.
  bool Layout(int width, int height);
  bool NeedsLayout() const;
  void Draw(Canvas* canvas, const Rect& pane, const Rect& clip, Color barColor);

  int ScrollY() const { return scrollY_; }
  int MaxScroll() const;
  int LineStep() const;
  // Each returns true when the pane must be drawn again. Coordinates are the window's.
  bool ScrollBy(int pixels);
  bool ScrollTo(int y);
  bool Wheel(int notches) { return ScrollBy(notches * kWheelLines * LineStep()); }
  bool PageKey(bool down) { return ScrollBy((down ? 1 : -1) * std::max(LineStep(), height_ - LineStep())); }
  bool MouseMove(int x, int y, const Rect& pane);
  bool MouseDown(int x, int y, const Rect& pane);
  // A click's link, resolved (empty: none), once the button is released.
  bool MouseUp(int x, int y, const Rect& pane, std::string* link);
  bool MouseLeave();
  bool HandCursor() const { return !hoverLink_.empty(); }
  const std::string& HoverLink() const { return hoverLink_; }
  Rect Thumb(const Rect& pane) const;  // empty when the page fits
  // The page's words, blanks folded, as automation dumps report them.
  std::string Text() const;

 private:
  std::string LinkAt(int docX, int docY) const;

  std::shared_ptr<PageLoad> load_;
  int laidOutImages_ = -1;
  int width_ = 0, height_ = 0, contentHeight_ = 0;
  int scrollY_ = 0;
  int dragFrom_ = -1;  // pointer y where a thumb drag started, -1: none
  int dragScroll_ = 0;
  std::string hoverLink_;
};

}  // namespace skin
}  // namespace corvio
