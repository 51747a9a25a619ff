// The notice pane's page engine without a network: character sets, link rules, the
// resource limits, and a small page drawn, scrolled and clicked, served by a stand-in
// fetcher. The same on Linux and on Windows.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "corvio/download/cancel_token.h"
#include "corvio/download/http_fetcher.h"
#include "corvio/skin/browser/link_rules.h"
#include "corvio/skin/browser/page_load.h"
#include "corvio/skin/browser/page_resources.h"
#include "corvio/skin/browser/page_text.h"
#include "corvio/skin/browser/page_view.h"
#include "corvio/skin/font.h"
#include "corvio/skin/image_io.h"
#include "tests/corvio/skin_test_support.h"

using namespace corvio;
using namespace corvio::skin;

namespace {

struct Route {
  long status = 200;
  std::string type = "text/html";
  std::string body;
  bool hold = false;  // waits for the cancel
};

// Answers each URL from its table (404 for the rest), within the request's body limit,
// and counts the requests.
class RouteFetcher final : public HttpFetcher {
 public:
  std::map<std::string, Route> routes;
  FetchResult Fetch(const FetchRequest& request, const BodySink& body, CancelToken* cancel) override {
    FetchResult result;
    Route route;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++requests_;
      auto it = routes.find(request.url);
      route = it == routes.end() ? Route{404, "text/html", "", false} : it->second;
    }
    if (route.hold) {
      cancel->SetWaker([this] { changed_.notify_all(); });
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait_for(lock, std::chrono::seconds(10), [cancel] { return cancel->Cancelled(); });
      lock.unlock();
      cancel->SetWaker(nullptr);
      result.failure = FetchFailure::kCancelled;
      return result;
    }
    result.httpStatus = route.status;
    result.contentType = route.type;
    if (route.body.size() > request.maxBodyBytes || !body(route.body.data(), route.body.size())) {
      result.failure = FetchFailure::kTooLarge;
      return result;
    }
    result.complete = true;
    return result;
  }
  int Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int requests_ = 0;
};

std::string Png(int w, int h, Color c) {
  Canvas canvas;
  canvas.Resize(w, h);
  canvas.FillRect(Rect{0, 0, w, h}, c, Rect{0, 0, w, h});
  skintest::TempDir dir;
  std::string error;
  EXPECT_TRUE(WritePng(dir.File("i.png"), canvas, &error)) << error;
  std::ifstream in(dir.File("i.png"), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

const std::string kBase = "http://news.test/dir/";

// A page load served by the fetcher, waited for until it is read and has every image.
std::shared_ptr<PageLoad> Load(std::shared_ptr<RouteFetcher> fetcher, int images) {
  std::string error;
  auto load = std::make_shared<PageLoad>(kBase + "page.html", Font::LoadSystem("", 14, &error));
  PageLoad::Start(load, fetcher, [] {});
  for (int i = 0; i < 1000; ++i) {
    if (load->CurrentStage() == PageLoad::Stage::kFailed) break;
    if (load->CurrentStage() == PageLoad::Stage::kRead && load->ImagesArrived() >= images) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return load;
}

uint32_t Rgb(const Canvas& c, int x, int y) { return c.PixelAt(x, y) & 0xFFFFFF; }

}  // namespace

TEST(BrowserPage, charset_follows_header_then_meta_then_utf8_then_gbk) {
  const struct {
    const char* type;
    std::string bytes;
    Charset want;
  } rows[] = {
      {"text/html; charset=GBK", "<p>\xE4\xB8\xAD</p>", Charset::kGbk},  // header over valid UTF-8
      {"text/html; charset=\"utf-8\"", "<p>\xD6\xD0</p>", Charset::kUtf8},
      {"text/html; charset=klingon", "<meta charset=gb2312><p>\xD6\xD0", Charset::kGbk},  // unknown label passed over
      {"text/html", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">", Charset::kLatin1},
      {"text/html", "<META CHARSET='UTF-8'>\xD6\xD0", Charset::kUtf8},
      {"", "<p>\xE4\xB8\xAD\xE6\x96\x87</p>", Charset::kUtf8},
      {"", "<p>\xD6\xD0\xCE\xC4</p>", Charset::kGbk},
      {"text/html; charset=gbk", "\xEF\xBB\xBF<p>x</p>", Charset::kUtf8},  // the mark wins
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
    EXPECT_EQ(ChooseCharset(rows[i].type, rows[i].bytes), rows[i].want) << "row " << i;
  EXPECT_EQ(PageToUtf8("", "<p>\xD6\xD0\xCE\xC4</p>"), "<p>\xE4\xB8\xAD\xE6\x96\x87</p>");
  EXPECT_EQ(PageToUtf8("text/html;charset=latin1", "\xE9"), "\xC3\xA9");
}

TEST(BrowserPage, links_resolve_against_the_page_and_only_web_links_open) {
  const struct {
    const char* base;
    const char* href;
    const char* want;
    bool opens;
  } rows[] = {
      {"http://a.test/x/page.html", "news/1.html", "http://a.test/x/news/1.html", true},
      {"http://a.test/x/page.html", "../up.html?q=1#f", "http://a.test/up.html?q=1#f", true},
      {"http://a.test/x/y/page.html", "./.././z/../w", "http://a.test/x/w", true},
      {"http://a.test/x/page.html", "/root.html", "http://a.test/root.html", true},
      {"http://a.test/x/page.html", "//cdn.test/a.png", "http://cdn.test/a.png", true},
      {"http://a.test/x/page.html", "HTTPS://b.test/", "HTTPS://b.test/", true},
      {"http://a.test/x/page.html", "javascript:alert(1)", "javascript:alert(1)", false},
      {"http://a.test/x/page.html", "file:///etc/passwd", "file:///etc/passwd", false},
      {"http://a.test/x/page.html", "data:text/html,x", "data:text/html,x", false},
      {"file:///c/page.html", "./a/../local.html", "file:/c/local.html", false},  // relative to a file page
      {"http://a.test/", "http:", "http:", false},  // no host
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const std::string url = ResolveUrl(rows[i].base, rows[i].href);
    EXPECT_EQ(url, rows[i].want) << "row " << i;
    EXPECT_EQ(IsWebUrl(url), rows[i].opens) << "row " << i;
  }
  EXPECT_FALSE(IsWebUrl("http://a.test/x y"));
}

TEST(BrowserPage, resources_beyond_their_limits_are_left_out) {
  auto fetcher = std::make_shared<RouteFetcher>();
  fetcher->routes["http://t/fit.css"] = {200, "text/css", std::string(PageLimits::kStyleSheet, ' ')};
  fetcher->routes["http://t/big.css"] = {200, "text/css", std::string(PageLimits::kStyleSheet + 1, ' ')};
  fetcher->routes["http://t/ok.png"] = {200, "image/png", Png(4, 3, Color{1, 2, 3, 255})};
  fetcher->routes["http://t/wide.png"] = {200, "image/png", Png(PageLimits::kImageSide + 1, 1, Color{1, 2, 3, 255})};
  fetcher->routes["http://t/junk.png"] = {200, "image/png", "not an image"};
  PageResources resources(fetcher, std::make_shared<CancelToken>());
  EXPECT_EQ(resources.StyleSheet("http://t/fit.css").size(), PageLimits::kStyleSheet);
  EXPECT_EQ(resources.StyleSheet("http://t/big.css"), "");
  EXPECT_EQ(resources.StyleSheet("http://t/missing.css"), "");
  EXPECT_TRUE(resources.FetchImage("http://t/ok.png"));
  ASSERT_TRUE(resources.ImageFor("http://t/ok.png"));
  EXPECT_EQ(resources.ImageFor("http://t/ok.png")->width, 4);
  EXPECT_FALSE(resources.FetchImage("http://t/wide.png"));
  EXPECT_FALSE(resources.FetchImage("http://t/junk.png"));
  EXPECT_FALSE(resources.ImageFor("http://t/wide.png"));
  // Every attempt counts towards the page's 64; past them nothing is asked of the network.
  fetcher->routes["http://t/s.css"] = {200, "text/css", "a{}"};
  for (int i = 6; i < PageLimits::kResources; ++i) resources.StyleSheet("http://t/s.css");
  const int asked = fetcher->Requests();
  EXPECT_EQ(asked, PageLimits::kResources);
  EXPECT_FALSE(resources.FetchImage("http://t/ok.png"));
  EXPECT_EQ(fetcher->Requests(), asked);
}

TEST(BrowserPage, decoded_images_of_a_page_stay_within_their_budget) {
  auto fetcher = std::make_shared<RouteFetcher>();
  // 4096x1024 RGBA is 16 MiB decoded: four fit in 64 MiB, a fifth does not.
  fetcher->routes["http://t/a.png"] = {200, "image/png", Png(4096, 1024, Color{9, 9, 9, 255})};
  PageResources resources(fetcher, std::make_shared<CancelToken>());
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(resources.FetchImage("http://t/a.png")) << i;
  EXPECT_FALSE(resources.FetchImage("http://t/a.png"));
}

TEST(BrowserPage, page_is_drawn_with_its_style_sheet_borders_backgrounds_and_images) {
  auto fetcher = std::make_shared<RouteFetcher>();
  fetcher->routes[kBase + "page.html"].body =
      "<html><head><link rel=stylesheet href=\"css/s.css\"></head><body>"
      "<div id=box></div><img src=\"img/red.png\"><p id=t>\xE6\x96\xB0\xE9\x97\xBB news</p>"
      "<ul><li>one</li></ul><script>document.write('x')</script></body></html>";
  fetcher->routes[kBase + "css/s.css"] = {200, "text/css",
      "body{margin:0;background:#102030;color:#ffffff;font-size:16px}"
      "#box{width:50px;height:20px;background:#00ff00 url(../img/tile.png) no-repeat 30px 0;border:2px solid #0000ff}"
      "img{display:block} p{margin:0;height:20px} li{color:#ffff00}"};
  fetcher->routes[kBase + "img/red.png"] = {200, "image/png", Png(10, 10, Color{255, 0, 0, 255})};
  fetcher->routes[kBase + "img/tile.png"] = {200, "image/png", Png(4, 4, Color{255, 0, 255, 255})};
  auto load = Load(fetcher, 2);
  ASSERT_EQ(load->CurrentStage(), PageLoad::Stage::kRead);
  EXPECT_EQ(load->Status(), 200);
  PageView view(load);
  ASSERT_TRUE(view.Layout(200, 120));
  Canvas canvas;
  canvas.Resize(220, 140);
  const Rect pane{10, 10, 200, 120};
  view.Draw(&canvas, pane, Rect{0, 0, 220, 140}, Color{255, 255, 255, 255});
  EXPECT_EQ(Rgb(canvas, 5, 5), 0u) << "outside the pane";
  EXPECT_EQ(Rgb(canvas, 11, 11), 0x0000FFu) << "border";
  EXPECT_EQ(Rgb(canvas, 22, 22), 0x00FF00u) << "background colour";
  EXPECT_EQ(Rgb(canvas, 10 + 2 + 31, 13), 0xFF00FFu) << "background image at its position";
  EXPECT_EQ(Rgb(canvas, 15, 10 + 24 + 5), 0xFF0000u) << "image below the box";
  EXPECT_EQ(Rgb(canvas, 150, 60), 0x102030u) << "body background";
  int lit = 0, yellow = 0;
  for (int y = 44; y < 64; ++y)
    for (int x = 10; x < 120; ++x) lit += (canvas.PixelAt(x, y) & 0xFF) > 0xC0;
  for (int y = 64; y < 100; ++y)
    for (int x = 10; x < 210; ++x) yellow += Rgb(canvas, x, y) == 0xFFFF00u;
  EXPECT_GT(lit, 20) << "white text of the paragraph";
  EXPECT_GT(yellow, 4) << "the list's yellow marker and text";
  EXPECT_EQ(view.Text().find("document.write"), std::string::npos) << "a script is not text";
  EXPECT_NE(view.Text().find("news"), std::string::npos);
}

TEST(BrowserPage, scrolling_stays_within_the_page_and_a_click_gives_the_resolved_link) {
  auto fetcher = std::make_shared<RouteFetcher>();
  std::string page = "<html><head><base href=\"http://other.test/b/\"></head><body style=\"margin:0\">"
                     "<a href=\"item.html\" style=\"display:block;height:30px\">first</a>";
  for (int i = 0; i < 40; ++i) page += "<p style=\"height:20px;margin:0\">line</p>";
  page += "<a href=\"javascript:x()\" style=\"display:block;height:30px\">last</a></body></html>";
  fetcher->routes[kBase + "page.html"].body = page;
  auto load = Load(fetcher, 0);
  ASSERT_EQ(load->CurrentStage(), PageLoad::Stage::kRead);
  PageView view(load);
  ASSERT_TRUE(view.Layout(200, 100));
  const Rect pane{0, 0, 200, 100};
  EXPECT_EQ(view.MaxScroll(), 30 + 40 * 20 + 30 - 100);
  EXPECT_FALSE(view.Wheel(-1)) << "already at the top";
  EXPECT_TRUE(view.Wheel(1));
  EXPECT_EQ(view.ScrollY(), PageView::kWheelLines * view.LineStep());
  EXPECT_TRUE(view.ScrollTo(1 << 20));
  EXPECT_EQ(view.ScrollY(), view.MaxScroll());
  EXPECT_EQ(view.Thumb(pane).y + view.Thumb(pane).h, pane.y + pane.h) << "thumb at the bottom";
  std::string link;
  view.MouseDown(20, 85, pane);
  view.MouseUp(20, 85, pane, &link);
  EXPECT_EQ(link, "javascript:x()");
  EXPECT_FALSE(IsWebUrl(link));
  EXPECT_TRUE(view.PageKey(false));
  EXPECT_TRUE(view.ScrollTo(0));
  EXPECT_TRUE(view.MouseMove(20, 10, pane));
  EXPECT_EQ(view.HoverLink(), "http://other.test/b/item.html");
  view.MouseDown(20, 10, pane);
  view.MouseUp(20, 10, pane, &link);
  EXPECT_EQ(link, "http://other.test/b/item.html");
  // Dragging the thumb to the bottom of the track shows the end.
  const Rect thumb = view.Thumb(pane);
  view.MouseDown(thumb.x + 1, thumb.y + 1, pane);
  view.MouseMove(thumb.x + 1, thumb.y + 1 + pane.h, pane);
  view.MouseUp(thumb.x + 1, thumb.y + 1 + pane.h, pane, &link);
  EXPECT_EQ(view.ScrollY(), view.MaxScroll());
}

TEST(BrowserPage, failures_and_cancel) {
  auto fetcher = std::make_shared<RouteFetcher>();
  fetcher->routes[kBase + "page.html"] = {200, "text/html", std::string(PageLimits::kPage + 1, ' ')};
  auto big = Load(fetcher, 0);
  EXPECT_EQ(big->CurrentStage(), PageLoad::Stage::kFailed);
  fetcher->routes[kBase + "page.html"] = {503, "text/html", "busy"};
  auto busy = Load(fetcher, 0);
  EXPECT_EQ(busy->CurrentStage(), PageLoad::Stage::kFailed);
  EXPECT_EQ(busy->Status(), 503);
  // A request under way is woken by the cancel, and nothing is notified after it.
  fetcher->routes[kBase + "page.html"].hold = true;
  std::string error;
  auto held = std::make_shared<PageLoad>(kBase + "page.html", Font::LoadSystem("", 14, &error));
  std::atomic<int> notified{0};
  PageLoad::Start(held, fetcher, [&notified] { ++notified; });
  while (fetcher->Requests() < 3) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const auto start = std::chrono::steady_clock::now();
  held->Cancel();
  while (held->CurrentStage() == PageLoad::Stage::kLoading) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(notified.load(), 0);
}
