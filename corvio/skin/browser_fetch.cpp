// The page request on a detached worker that owns a share of the request, so a dialog
// closed meanwhile leaves nothing dangling; the network part is the downloader's fetcher
// with the pane's own page limit.
#include "corvio/skin/browser_fetch.h"

#include <thread>
#include <utility>

#include "corvio/download/cancel_token.h"
#include "corvio/download/http_fetcher.h"
#include "corvio/report.h"
#include "corvio/skin/html_text.h"

namespace corvio {
namespace skin {

BrowserFetch::BrowserFetch(int nodeId, std::string url)
    : nodeId_(nodeId), url_(std::move(url)), cancel_(new CancelToken()) {}

BrowserFetch::~BrowserFetch() = default;

void BrowserFetch::Start(const std::shared_ptr<BrowserFetch>& fetch,
                         std::function<void()> notify) {
  Start(fetch, SystemFetcher(), std::move(notify));
}

void BrowserFetch::Start(const std::shared_ptr<BrowserFetch>& fetch,
                         std::shared_ptr<HttpFetcher> fetcher, std::function<void()> notify) {
  // The worker holds its own share, so a dialog closed meanwhile frees nothing under it.
  std::shared_ptr<BrowserFetch> self = fetch;
  const bool started = Guarded([&] {
    std::thread([self, fetcher, notify] {
      self->Run(*fetcher);
      if (!self->cancel_->Cancelled()) notify();
    }).detach();
  });
  if (!started) {
    Report("[Corvio_Skin]", "cannot start the browser pane's request");
    std::lock_guard<std::mutex> lock(self->mutex_);
    self->done_ = true;
  }
}

void BrowserFetch::Run(HttpFetcher& fetcher) {
  int status = 0;
  std::string text;
  const bool ran = Guarded([&] {
    FetchRequest request;
    request.url = url_;
    request.maxBodyBytes = kMaxPage;
    std::string page;
    // The limit holds here too, whatever fetcher serves the pane.
    const BodySink body = [&page](const char* data, size_t size) {
      if (size > kMaxPage - page.size()) return false;
      page.append(data, size);
      return true;
    };
    const FetchResult result = fetcher.Fetch(request, body, cancel_.get());
    if (result.complete) status = static_cast<int>(result.httpStatus);
    if (status == 200) text = HtmlToText(page);
  });
  if (!ran) {
    status = 0;
    text.clear();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  status_ = status;
  text_ = std::move(text);
  done_ = true;
}

void BrowserFetch::Cancel() { cancel_->Cancel(); }

bool BrowserFetch::Done() {
  std::lock_guard<std::mutex> lock(mutex_);
  return done_;
}

int BrowserFetch::Status() {
  std::lock_guard<std::mutex> lock(mutex_);
  return status_;
}

std::string BrowserFetch::Text() {
  std::lock_guard<std::mutex> lock(mutex_);
  return text_;
}

}  // namespace skin
}  // namespace corvio
