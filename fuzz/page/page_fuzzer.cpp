// Fuzz target for the notice pane's renderer: a page, its style sheet and its image, read,
// laid out, drawn, scrolled and pointed at. Whatever they hold, the text is well-formed
// UTF-8, the scroll stays within the page, and nothing is drawn outside the pane.
// Input: the page, then optionally "\n--css--\n" and the sheet, "\n--img--\n" and the image.
#include <stddef.h>
#include <stdint.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>

#include "common/fuzz_support.h"
#include "corvio/download/http_fetcher.h"
#include "corvio/skin/browser/page_load.h"
#include "corvio/skin/browser/page_text.h"
#include "corvio/skin/browser/page_view.h"
#include "corvio/skin/font.h"
#include "corvio/skin/text_codec.h"

namespace {

using zentfuzz::Shown;

// Well-formed UTF-8 as RFC 3629 has it: shortest forms only, no surrogates, nothing past
// U+10FFFF. Written out here so that the code under test is not its own judge.
bool WellFormedUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    size_t length;
    uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      const unsigned char t = static_cast<unsigned char>(text[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    const uint32_t shortest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (cp < shortest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}


// Serves the three parts at fixed addresses; the page names them as it likes.
class PartsFetcher final : public corvio::HttpFetcher {
 public:
  std::map<std::string, std::string> parts;
  corvio::FetchResult Fetch(const corvio::FetchRequest& request, const corvio::BodySink& body,
                            corvio::CancelToken*) override {
    corvio::FetchResult result;
    auto it = parts.find(request.url);
    result.httpStatus = it == parts.end() ? 404 : 200;
    const std::string& bytes = it == parts.end() ? std::string() : it->second;
    if (bytes.size() <= request.maxBodyBytes && body(bytes.data(), bytes.size())) result.complete = true;
    return result;
  }
};

std::string Cut(std::string* rest, const std::string& marker) {
  const size_t at = rest->find(marker);
  if (at == std::string::npos) return std::string();
  std::string tail = rest->substr(at + marker.size());
  rest->erase(at);
  return tail;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string page(reinterpret_cast<const char*>(data), size);
  const std::string image = Cut(&page, "\n--img--\n");
  const std::string css = Cut(&page, "\n--css--\n");
  FUZZ_CHECK(corvio::skin::IsValidUtf8(page) == WellFormedUtf8(page),
             std::string("IsValidUtf8 disagrees on ") + Shown(page));
  FUZZ_CHECK(WellFormedUtf8(corvio::skin::PageToUtf8("", page)), "the page's text is not UTF-8");

  static std::shared_ptr<corvio::skin::Font> font = [] {
    std::string error;
    return corvio::skin::Font::LoadSystem("", 14, &error);
  }();
  auto fetcher = std::make_shared<PartsFetcher>();
  const std::string base = "http://f.test/";
  fetcher->parts[base + "page.html"] = page;
  fetcher->parts[base + "s.css"] = css;
  fetcher->parts[base + "i.png"] = image;
  // Every address a page may name for its parts: relative or absolute.
  auto load = std::make_shared<corvio::skin::PageLoad>(base + "page.html", font);
  std::atomic<int> notes{0};
  corvio::skin::PageLoad::Start(load, fetcher, [&notes] { ++notes; });
  for (int i = 0; i < 2000 && load->CurrentStage() == corvio::skin::PageLoad::Stage::kLoading; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  // Images come after the document: give the worker its turn before drawing.
  for (int i = 0; i < 200 && load->ImagesArrived() == 0 && !image.empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (load->CurrentStage() != corvio::skin::PageLoad::Stage::kRead) return 0;

  corvio::skin::PageView view(load);
  const corvio::skin::Rect pane{10, 10, 225, 300};
  FUZZ_CHECK(view.Layout(pane.w, pane.h), "a read page is not laid out");
  corvio::skin::Canvas canvas;
  canvas.Resize(245, 320);
  const corvio::skin::Color mark{1, 2, 3, 255};
  canvas.FillRect(corvio::skin::Rect{0, 0, 245, 320}, mark, corvio::skin::Rect{0, 0, 245, 320});
  view.Wheel(static_cast<int>(size % 7) - 3);
  FUZZ_CHECK(view.ScrollY() >= 0 && view.ScrollY() <= view.MaxScroll(), "scrolled off the page");
  view.MouseMove(20 + static_cast<int>(size % 200), 20 + static_cast<int>(size % 280), pane);
  view.Draw(&canvas, pane, corvio::skin::Rect{0, 0, 245, 320}, corvio::skin::Color{200, 200, 200, 255});
  for (int y = 0; y < 320; ++y)
    for (int x = 0; x < 245; ++x)
      if (!pane.Contains(x, y))
        FUZZ_CHECK(canvas.PixelAt(x, y) == 0xFF010203u, "drawn outside the pane at " + std::to_string(x) + "," + std::to_string(y));
  FUZZ_CHECK(WellFormedUtf8(view.Text()), "the page's text is not UTF-8: " + Shown(view.Text()));
  return 0;
}
