// Fetching a page's resources: each within its byte limit, a page within its count and
// decoded-pixel budget; whatever fails is left out with one report line and the page shows
// without it.
#include "corvio/skin/browser/page_resources.h"

#include <algorithm>

#include "corvio/download/cancel_token.h"
#include "corvio/download/http_fetcher.h"
#include "corvio/report.h"
#include "corvio/skin/browser/page_text.h"
#include "corvio/skin/image_io.h"

namespace corvio {
namespace skin {

PageResources::PageResources(std::shared_ptr<HttpFetcher> fetcher, std::shared_ptr<CancelToken> cancel)
    : fetcher_(std::move(fetcher)), cancel_(std::move(cancel)) {}

Fetched PageResources::Get(const std::string& url, size_t limit) {
  Fetched out;
  FetchRequest request;
  request.url = url;
  request.maxBodyBytes = limit;
  // The limit holds here too, whatever fetcher serves the pane.
  const BodySink body = [&out, limit](const char* data, size_t size) {
    if (size > limit - out.body.size()) return false;
    out.body.append(data, size);
    return true;
  };
  const FetchResult result = fetcher_->Fetch(request, body, cancel_.get());
  out.contentType = result.contentType;
  if (result.complete) out.status = result.httpStatus;
  if (!result.complete) {
    out.why = result.failure == FetchFailure::kTooLarge || result.failure == FetchFailure::kRefused
                  ? "larger than " + std::to_string(limit / 1024) + " KiB"
                  : result.error.empty() ? "no complete answer" : result.error;
  } else if (result.httpStatus != 200) {
    out.why = "HTTP status " + std::to_string(result.httpStatus);
  } else {
    out.ok = true;
  }
  if (!out.ok) out.body.clear();
  return out;
}

bool PageResources::TakeSlot(const std::string& url) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (used_ >= PageLimits::kResources) {
    ReportF("[Corvio_Browser]", "%s left out: the page asks for more than %d resources",
            url.c_str(), PageLimits::kResources);
    return false;
  }
  ++used_;
  return true;
}

std::string PageResources::StyleSheet(const std::string& url) {
  if (cancel_->Cancelled() || !TakeSlot(url)) return std::string();
  Fetched sheet = Get(url, PageLimits::kStyleSheet);
  if (!sheet.ok) {
    if (!cancel_->Cancelled()) ReportF("[Corvio_Browser]", "style sheet %s left out: %s", url.c_str(), sheet.why.c_str());
    return std::string();
  }
  return PageToUtf8(sheet.contentType, sheet.body);
}

void PageResources::AskImage(const std::string& url) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (url.empty() || std::find(asked_.begin(), asked_.end(), url) != asked_.end()) return;
  asked_.push_back(url);
}

bool PageResources::NextAskedImage(std::string* url) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (nextAsked_ >= asked_.size()) return false;
  *url = asked_[nextAsked_++];
  return true;
}

bool PageResources::FetchImage(const std::string& url) {
  if (cancel_->Cancelled() || !TakeSlot(url)) return false;
  Fetched file = Get(url, PageLimits::kImage);
  std::string why = file.why;
  auto image = std::make_shared<Image>();
  if (file.ok) {
    std::vector<unsigned char> data(file.body.begin(), file.body.end());
    file.body.clear();
    int w = 0, h = 0;
    if (ReadWebImageHeader(data, PageLimits::kImageSide, &w, &h, &why)) {
      const size_t bytes = static_cast<size_t>(w) * h * 4;
      bool fits;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        fits = bytes <= PageLimits::kImagePixelBytes - pixelBytes_;
        if (fits) pixelBytes_ += bytes;
      }
      if (!fits) why = "the page's images would take more than 64 MiB decoded";
      else if (DecodeImage(url, data, image.get(), &why)) why.clear();
    }
  }
  if (!why.empty()) {
    if (!cancel_->Cancelled()) ReportF("[Corvio_Browser]", "image %s left out: %s", url.c_str(), why.c_str());
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  images_[url] = std::move(image);
  return true;
}

std::shared_ptr<const Image> PageResources::ImageFor(const std::string& url) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = images_.find(url);
  return it == images_.end() ? nullptr : it->second;
}

}  // namespace skin
}  // namespace corvio
