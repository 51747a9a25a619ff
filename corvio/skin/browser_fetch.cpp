// libcurl GET with time limits on a detached worker that owns a share of the request,
// so a dialog closed meanwhile leaves nothing dangling.
#include "corvio/skin/browser_fetch.h"

#include <curl/curl.h>

#include <memory>
#include <thread>

#include "corvio/skin/html_text.h"

namespace corvio {
namespace skin {

namespace {

constexpr size_t kMaxPage = 4 * 1024 * 1024;

struct Transfer {
  std::string body;
  std::atomic<bool>* cancelled;
};

size_t OnData(char* data, size_t size, size_t count, void* context) {
  auto* t = static_cast<Transfer*>(context);
  size_t n = size * count;
  if (t->body.size() + n > kMaxPage || *t->cancelled) return 0;  // ends the transfer
  t->body.append(data, n);
  return n;
}

int OnProgress(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<Transfer*>(context)->cancelled->load() ? 1 : 0;
}

void EnsureCurl() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

void BrowserFetch::Start(const std::shared_ptr<BrowserFetch>& fetch,
                         std::function<void()> notify) {
  EnsureCurl();
  // The worker holds its own share, so a dialog closed meanwhile frees nothing under it.
  std::shared_ptr<BrowserFetch> self = fetch;
  std::string url = fetch->url_;
  auto run = [self, url, notify]() {
    BrowserFetch* f = self.get();
    Transfer t;
    t.cancelled = &f->cancelled_;
    long status = 0;
    CURL* curl = curl_easy_init();
    if (curl) {
      curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
      curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
      curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
      curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 10L);
      curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
      curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
      curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
      curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnData);
      curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
      curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
      curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
      curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
      if (curl_easy_perform(curl) == CURLE_OK) curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
      curl_easy_cleanup(curl);
    }
    std::string text = status == 200 ? HtmlToText(t.body) : std::string();
    {
      std::lock_guard<std::mutex> lock(f->mutex_);
      f->status_ = static_cast<int>(status);
      f->text_ = std::move(text);
      f->done_ = true;
    }
    if (!f->cancelled_) notify();
  };
  std::thread(run).detach();
}

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
