// The worker's side of a page: the page within its limit, its character set, the document
// read with its style sheets (fetched as litehtml asks for them), then its images.
#include "corvio/skin/browser/page_load.h"

#include <stdio.h>

#include <thread>
#include <utility>

#include "corvio/download/cancel_token.h"
#include "corvio/download/http_fetcher.h"
#include "corvio/report.h"
#include "corvio/skin/browser/html_container.h"
#include "corvio/skin/browser/page_resources.h"
#include "corvio/skin/browser/page_text.h"
#include "corvio/skin/font.h"

namespace corvio {
namespace skin {

PageLoad::PageLoad(std::string url, std::shared_ptr<Font> font, Color text)
    : url_(std::move(url)), font_(std::move(font)), text_(text), cancel_(std::make_shared<CancelToken>()) {}

PageLoad::~PageLoad() {
  document_.reset();  // it hands its fonts back to the container
}

void PageLoad::Start(const std::shared_ptr<PageLoad>& load, std::shared_ptr<HttpFetcher> fetcher,
                     std::function<void()> notify) {
  std::shared_ptr<PageLoad> self = load;
  const bool started = Guarded([&] {
    std::thread([self, fetcher, notify] {
      Guarded([&] { self->Run(fetcher, notify); });
      std::lock_guard<std::mutex> lock(self->mutex_);
      if (self->stage_ == Stage::kLoading) self->stage_ = Stage::kFailed;
    }).detach();
  });
  if (!started) {
    Report("[Corvio_Browser]", "cannot start the notice pane's request");
    std::lock_guard<std::mutex> lock(self->mutex_);
    self->stage_ = Stage::kFailed;
  }
}

void PageLoad::Run(std::shared_ptr<HttpFetcher> fetcher, const std::function<void()>& notify) {
  resources_ = std::make_shared<PageResources>(std::move(fetcher), cancel_);
  Fetched page = resources_->Get(url_, PageLimits::kPage);
  const int status = static_cast<int>(page.status);
  if (!page.ok) {
    if (!cancel_->Cancelled()) ReportF("[Corvio_Browser]", "page %s not shown: %s", url_.c_str(), page.why.c_str());
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = status;
    stage_ = Stage::kFailed;
  } else {
    const std::string text = PageToUtf8(page.contentType, page.body);
    page.body.clear();
    container_ = std::make_unique<HtmlContainer>(font_, url_, resources_);
    // The pane's own text colour is the page's default, as a browser's is its theme's.
    char colour[64];
    snprintf(colour, sizeof colour, "\nhtml { color: rgba(%d,%d,%d,%.3f) }\n", text_.r, text_.g, text_.b,
             text_.a / 255.0);
    const std::string master = std::string(litehtml::master_css) + colour;
    document_ = litehtml::document::createFromString(text.c_str(), container_.get(), master.c_str());
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = status;
    stage_ = document_ ? Stage::kRead : Stage::kFailed;
  }
  if (cancel_->Cancelled()) return;
  notify();
  if (CurrentStage() != Stage::kRead) return;
  // From here the document is the user-interface thread's; the worker only fills the
  // resources' image table.
  std::string image;
  while (!cancel_->Cancelled() && resources_->NextAskedImage(&image)) {
    if (!resources_->FetchImage(image)) continue;
    ++imagesArrived_;
    if (!cancel_->Cancelled()) notify();
  }
}

void PageLoad::Cancel() { cancel_->Cancel(); }

PageLoad::Stage PageLoad::CurrentStage() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stage_;
}

int PageLoad::Status() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return status_;
}

}  // namespace skin
}  // namespace corvio
