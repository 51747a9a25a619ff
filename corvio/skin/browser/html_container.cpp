// The page's drawing calls on the skin canvas. Not supported, and drawn plainly instead:
// rounded corners (square), border styles other than solid (solid), background-attachment
// fixed (scrolls), text shadows, and fonts by name other than those installed.
#include "corvio/skin/browser/html_container.h"

#include <ctype.h>

#include <algorithm>

#include "corvio/skin/browser/link_rules.h"
#include "corvio/skin/browser/page_resources.h"

namespace corvio {
namespace skin {

namespace {

Color ToColor(const litehtml::web_color& c) { return Color{c.red, c.green, c.blue, c.alpha}; }

Rect ToRect(const litehtml::position& p) { return Rect{p.x, p.y, p.width, p.height}; }

std::string Trimmed(std::string s) {
  const char* blanks = " \t\r\n\"'";
  s.erase(0, s.find_first_not_of(blanks));
  s.erase(s.find_last_not_of(blanks) + 1);
  return s;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

HtmlContainer::HtmlContainer(std::shared_ptr<Font> baseFont, std::string pageUrl,
                             std::shared_ptr<PageResources> resources)
    : baseFont_(std::move(baseFont)), baseUrl_(std::move(pageUrl)), resources_(std::move(resources)) {
  std::string error;
  fallback_ = Font::LoadSystem("", 12, &error);
}

HtmlContainer::~HtmlContainer() = default;

void HtmlContainer::BeginDraw(Canvas* canvas, const Rect& clip) {
  canvas_ = canvas;
  clips_.assign(1, clip);
}

std::string HtmlContainer::TakeClickedLink() {
  std::string link;
  link.swap(clicked_);
  return link;
}

// The first family of the list that the system has by that very name; the generic
// monospace and serif families as the system maps them; else the skin's own face.
std::shared_ptr<Font> HtmlContainer::FaceFor(const std::string& families) {
  // A page asks for the same list at every size and weight: the system is asked once.
  auto known = faces_.find(families);
  if (known != faces_.end()) return known->second;
  std::shared_ptr<Font>& face = faces_[families];
  face = baseFont_;
  size_t start = 0;
  while (start <= families.size()) {
    size_t end = families.find(',', start);
    if (end == std::string::npos) end = families.size();
    const std::string family = Lower(Trimmed(families.substr(start, end - start)));
    start = end + 1;
    if (family.empty() || family == "sans-serif" || family == "system-ui" || family == "cursive" ||
        family == "fantasy")
      continue;
    std::string error;
    std::shared_ptr<Font> font = Font::LoadSystem(family, 12, &error);
    if (font && (family == "monospace" || family == "serif" || Lower(font->FamilyName()) == family)) {
      face = font;
      break;
    }
  }
  return face;
}

litehtml::uint_ptr HtmlContainer::create_font(const char* faceName, int size, int weight,
                                              litehtml::font_style italic, unsigned int decoration,
                                              litehtml::font_metrics* fm) {
  std::shared_ptr<Font> face = FaceFor(faceName ? faceName : "");
  if (!face) return 0;
  const int px = std::clamp(size, 4, 200);
  const bool bold = weight >= 600, slanted = italic == litehtml::font_style_italic;
  std::string error;
  std::shared_ptr<Font> font = face->Variant(px, bold, slanted, &error);
  if (!font) return 0;
  if (fallback_ && face != fallback_) font->SetFallback(fallback_->Variant(px, bold, slanted, &error));
  if (fm) {
    fm->ascent = font->Ascent();
    fm->descent = std::max(0, font->LineHeight() - font->Ascent());
    fm->height = font->LineHeight();
    fm->x_height = font->XHeight();
    fm->draw_spaces = decoration != 0;
  }
  auto entry = std::make_unique<PageFont>();
  entry->font = std::move(font);
  entry->decoration = decoration;
  fonts_.push_back(std::move(entry));
  return static_cast<litehtml::uint_ptr>(fonts_.size());
}

HtmlContainer::PageFont* HtmlContainer::FontOf(litehtml::uint_ptr handle) {
  if (handle == 0 || handle > fonts_.size()) return nullptr;
  return fonts_[handle - 1].get();
}

void HtmlContainer::delete_font(litehtml::uint_ptr handle) {
  // Handles stay numbered; the slot only lets its glyphs go.
  if (PageFont* font = FontOf(handle)) font->font.reset();
}

int HtmlContainer::text_width(const char* text, litehtml::uint_ptr handle) {
  PageFont* font = FontOf(handle);
  return font && font->font && text ? font->font->TextWidth(text) : 0;
}

void HtmlContainer::draw_text(litehtml::uint_ptr hdc, const char* text, litehtml::uint_ptr handle,
                              litehtml::web_color color, const litehtml::position& pos) {
  PageFont* font = FontOf(handle);
  if (!canvas_ || !font || !font->font || !text) return;
  const Rect clip = CurrentClip();
  const Color c = ToColor(color);
  const int baseline = pos.y + font->font->Ascent();
  const int width = font->font->DrawLine(canvas_, text, pos.x, baseline, c, clip);
  const int thick = std::max(1, font->font->PixelSize() / 14);
  if (font->decoration & litehtml::font_decoration_underline)
    canvas_->FillRect(Rect{pos.x, baseline + 1 + thick / 2, width, thick}, c, clip);
  if (font->decoration & litehtml::font_decoration_linethrough)
    canvas_->FillRect(Rect{pos.x, baseline - font->font->XHeight() / 2, width, thick}, c, clip);
  if (font->decoration & litehtml::font_decoration_overline)
    canvas_->FillRect(Rect{pos.x, pos.y, width, thick}, c, clip);
}

int HtmlContainer::pt_to_px(int pt) const { return pt * 96 / 72; }

int HtmlContainer::get_default_font_size() const {
  return baseFont_ ? std::max(12, baseFont_->PixelSize()) : 13;
}

const char* HtmlContainer::get_default_font_name() const { return "sans-serif"; }

void HtmlContainer::draw_list_marker(litehtml::uint_ptr hdc, const litehtml::list_marker& marker) {
  if (!canvas_) return;
  const Rect clip = CurrentClip();
  Rect r = ToRect(marker.pos);
  if (!marker.image.empty()) {
    if (auto image = resources_->ImageFor(Resolve(marker.image.c_str(), marker.baseurl))) {
      canvas_->DrawImage(*image, Rect{r.x, r.y, image->width, image->height}, ImageMode::Stretch, clip);
      return;
    }
  }
  const Color c = ToColor(marker.color);
  switch (marker.marker_type) {
    case litehtml::list_style_type_circle:
      canvas_->FrameRoundRect(r, r.w / 2, 1, c, clip);
      break;
    case litehtml::list_style_type_disc:
      // A filled round: frames of every thickness up to the radius.
      canvas_->FrameRoundRect(r, r.w / 2, std::max(1, (r.w + 1) / 2), c, clip);
      break;
    case litehtml::list_style_type_square:
      canvas_->FillRect(r, c, clip);
      break;
    default:
      break;  // numbered markers come as text through draw_text
  }
}

std::string HtmlContainer::Resolve(const char* src, const char* baseurl) const {
  const std::string base = baseurl && *baseurl ? ResolveUrl(baseUrl_, baseurl) : baseUrl_;
  return ResolveUrl(base, Trimmed(src ? src : ""));
}

void HtmlContainer::load_image(const char* src, const char* baseurl, bool redrawOnReady) {
  if (!src || !*src) return;
  const std::string url = Resolve(src, baseurl);
  // Only what the fetcher can fetch; data: and file: addresses are never read.
  if (IsWebUrl(url)) resources_->AskImage(url);
}

void HtmlContainer::get_image_size(const char* src, const char* baseurl, litehtml::size& size) {
  size.width = size.height = 0;
  if (auto image = resources_->ImageFor(Resolve(src, baseurl))) {
    size.width = image->width;
    size.height = image->height;
  }
}

void HtmlContainer::DrawImageLayer(const litehtml::background_paint& layer, const Image& image,
                                   const Rect& clip) {
  const int w = layer.image_size.width > 0 ? layer.image_size.width : image.width;
  const int h = layer.image_size.height > 0 ? layer.image_size.height : image.height;
  if (w <= 0 || h <= 0) return;
  const Rect box = ToRect(layer.clip_box);
  const bool repeatX = layer.repeat == litehtml::background_repeat_repeat ||
                       layer.repeat == litehtml::background_repeat_repeat_x;
  const bool repeatY = layer.repeat == litehtml::background_repeat_repeat ||
                       layer.repeat == litehtml::background_repeat_repeat_y;
  int x0 = layer.position_x, y0 = layer.position_y;
  if (repeatX) x0 -= ((x0 - box.x) / w + 1) * w;
  if (repeatY) y0 -= ((y0 - box.y) / h + 1) * h;
  const int x1 = repeatX ? box.x + box.w : x0 + 1;
  const int y1 = repeatY ? box.y + box.h : y0 + 1;
  for (int y = y0; y < y1; y += h)
    for (int x = x0; x < x1; x += w) canvas_->DrawImage(image, Rect{x, y, w, h}, ImageMode::Stretch, clip);
}

void HtmlContainer::draw_background(litehtml::uint_ptr hdc, const std::vector<litehtml::background_paint>& layers) {
  if (!canvas_ || layers.empty()) return;
  // The last layer is the farthest and the only one with the colour.
  for (auto it = layers.rbegin(); it != layers.rend(); ++it) {
    const Rect clip = Intersect(CurrentClip(), ToRect(it->clip_box));
    if (clip.Empty()) continue;
    if (it == layers.rbegin() && it->color.alpha) canvas_->FillRect(ToRect(it->clip_box), ToColor(it->color), clip);
    if (it->image.empty()) continue;
    if (auto image = resources_->ImageFor(Resolve(it->image.c_str(), it->baseurl.c_str())))
      DrawImageLayer(*it, *image, clip);
  }
}

void HtmlContainer::draw_borders(litehtml::uint_ptr hdc, const litehtml::borders& borders,
                                 const litehtml::position& pos, bool root) {
  if (!canvas_) return;
  const Rect clip = CurrentClip();
  const Rect r = ToRect(pos);
  auto side = [&](const litehtml::border& b, const Rect& band) {
    if (b.width > 0 && b.style != litehtml::border_style_none && b.style != litehtml::border_style_hidden)
      canvas_->FillRect(band, ToColor(b.color), clip);
  };
  side(borders.top, Rect{r.x, r.y, r.w, borders.top.width});
  side(borders.bottom, Rect{r.x, r.y + r.h - borders.bottom.width, r.w, borders.bottom.width});
  side(borders.left, Rect{r.x, r.y, borders.left.width, r.h});
  side(borders.right, Rect{r.x + r.w - borders.right.width, r.y, borders.right.width, r.h});
}

void HtmlContainer::set_base_url(const char* baseUrl) {
  if (baseUrl && *baseUrl) baseUrl_ = ResolveUrl(baseUrl_, Trimmed(baseUrl));
}

void HtmlContainer::on_anchor_click(const char* url, const litehtml::element::ptr& el) {
  clicked_ = url && *url ? Resolve(url, nullptr) : std::string();
}

void HtmlContainer::transform_text(litehtml::string& text, litehtml::text_transform tt) {
  // ASCII letters only: Chinese has no case, and the rest is rare on these pages.
  bool start = true;
  for (char& c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x80) {
      if (tt == litehtml::text_transform_uppercase || (tt == litehtml::text_transform_capitalize && start))
        c = static_cast<char>(toupper(u));
      else if (tt == litehtml::text_transform_lowercase)
        c = static_cast<char>(tolower(u));
    }
    start = isspace(u) != 0;
  }
}

void HtmlContainer::import_css(litehtml::string& text, const litehtml::string& url, litehtml::string& baseurl) {
  const std::string address = Resolve(url.c_str(), baseurl.c_str());
  text.clear();
  if (IsWebUrl(address)) text = resources_->StyleSheet(address);
  baseurl = address;
}

Rect HtmlContainer::CurrentClip() const { return clips_.empty() ? Rect{} : clips_.back(); }

void HtmlContainer::set_clip(const litehtml::position& pos, const litehtml::border_radiuses& radius) {
  clips_.push_back(Intersect(CurrentClip(), ToRect(pos)));
}

void HtmlContainer::del_clip() {
  if (clips_.size() > 1) clips_.pop_back();
}

void HtmlContainer::get_client_rect(litehtml::position& client) const {
  client = litehtml::position(0, 0, viewportW_, viewportH_);
}

void HtmlContainer::get_media_features(litehtml::media_features& media) const {
  media.type = litehtml::media_type_screen;
  media.width = media.device_width = viewportW_;
  media.height = media.device_height = viewportH_;
  media.color = 8;
  media.monochrome = 0;
  media.color_index = 256;
  media.resolution = 96;
}

void HtmlContainer::get_language(litehtml::string& language, litehtml::string& culture) const {
  language = "zh";
  culture = "CN";
}

}  // namespace skin
}  // namespace corvio
