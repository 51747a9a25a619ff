// litehtml's document container on the skin's own canvas and FreeType text: how a page's
// fonts, text, backgrounds, borders, list markers and images are drawn, and where its
// style sheets and images come from.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <litehtml.h>

#include "corvio/skin/canvas.h"
#include "corvio/skin/font.h"

namespace corvio {
namespace skin {

class PageResources;

class HtmlContainer final : public litehtml::document_container {
 public:
  // baseFont: the pane's skin font, the default face; pageUrl: what relative addresses
  // resolve against until the page names a <base href>.
  HtmlContainer(std::shared_ptr<Font> baseFont, std::string pageUrl,
                std::shared_ptr<PageResources> resources);
  ~HtmlContainer();

  // Where the next draw goes: the canvas, and the part of it that may change (the pane's
  // rectangle and the damaged area together).
  void BeginDraw(Canvas* canvas, const Rect& clip);
  void SetViewport(int width, int height) { viewportW_ = width, viewportH_ = height; }
  const std::string& BaseUrl() const { return baseUrl_; }
  const std::string& Cursor() const { return cursor_; }
  // The address of the last link clicked, resolved; empty once taken.
  std::string TakeClickedLink();

  // litehtml::document_container
  litehtml::uint_ptr create_font(const char* faceName, int size, int weight, litehtml::font_style italic,
                                 unsigned int decoration, litehtml::font_metrics* fm) override;
  void delete_font(litehtml::uint_ptr font) override;
  int text_width(const char* text, litehtml::uint_ptr font) override;
  void draw_text(litehtml::uint_ptr hdc, const char* text, litehtml::uint_ptr font, litehtml::web_color color,
                 const litehtml::position& pos) override;
  int pt_to_px(int pt) const override;
  int get_default_font_size() const override;
  const char* get_default_font_name() const override;
  void draw_list_marker(litehtml::uint_ptr hdc, const litehtml::list_marker& marker) override;
  void load_image(const char* src, const char* baseurl, bool redrawOnReady) override;
  void get_image_size(const char* src, const char* baseurl, litehtml::size& size) override;
  void draw_background(litehtml::uint_ptr hdc, const std::vector<litehtml::background_paint>& layers) override;
  void draw_borders(litehtml::uint_ptr hdc, const litehtml::borders& borders, const litehtml::position& pos,
                    bool root) override;
  void set_caption(const char* caption) override {}
  void set_base_url(const char* baseUrl) override;
  void link(const std::shared_ptr<litehtml::document>& doc, const litehtml::element::ptr& el) override {}
  void on_anchor_click(const char* url, const litehtml::element::ptr& el) override;
  void set_cursor(const char* cursor) override { cursor_ = cursor ? cursor : ""; }
  void transform_text(litehtml::string& text, litehtml::text_transform tt) override;
  void import_css(litehtml::string& text, const litehtml::string& url, litehtml::string& baseurl) override;
  void set_clip(const litehtml::position& pos, const litehtml::border_radiuses& radius) override;
  void del_clip() override;
  void get_client_rect(litehtml::position& client) const override;
  litehtml::element::ptr create_element(const char* tagName, const litehtml::string_map& attributes,
                                        const std::shared_ptr<litehtml::document>& doc) override {
    return nullptr;
  }
  void get_media_features(litehtml::media_features& media) const override;
  void get_language(litehtml::string& language, litehtml::string& culture) const override;

 private:
  struct PageFont {
    std::shared_ptr<Font> font;
    unsigned decoration = 0;
  };
  std::shared_ptr<Font> FaceFor(const std::string& families);
  PageFont* FontOf(litehtml::uint_ptr handle);
  std::string Resolve(const char* src, const char* baseurl) const;
  Rect CurrentClip() const;
  void DrawImageLayer(const litehtml::background_paint& layer, const Image& image, const Rect& clip);

  std::shared_ptr<Font> baseFont_;
  std::shared_ptr<Font> fallback_;  // a face that shows Chinese
  std::map<std::string, std::shared_ptr<Font>> faces_;  // by font-family list
  std::string baseUrl_;
  std::shared_ptr<PageResources> resources_;
  std::vector<std::unique_ptr<PageFont>> fonts_;  // handle = index + 1
  Canvas* canvas_ = nullptr;
  std::vector<Rect> clips_;  // the first is the draw's own
  int viewportW_ = 0, viewportH_ = 0;
  std::string cursor_;
  std::string clicked_;
};

}  // namespace skin
}  // namespace corvio
