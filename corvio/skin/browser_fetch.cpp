// libcurl GET with time limits on a detached worker that owns a share of the request,
// so a dialog closed meanwhile leaves nothing dangling.
#include "corvio/skin/browser_fetch.h"


#include <memory>
#include <thread>

#include "corvio/download/curl_api.h"
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


}  // namespace

void BrowserFetch::Start(const std::shared_ptr<BrowserFetch>& fetch,
                         std::function<void()> notify) {
  // The worker holds its own share, so a dialog closed meanwhile frees nothing under it.
  std::shared_ptr<BrowserFetch> self = fetch;
  std::string url = fetch->url_;
  auto run = [self, url, notify]() {
    BrowserFetch* f = self.get();
    Transfer t;
    t.cancelled = &f->cancelled_;
    long status = 0;
    const CurlApi* api = Curl();  // loaded here, off the interface thread
    CURL* curl = api ? api->easy_init() : nullptr;
    if (curl) {
      api->easy_setopt(curl, CURLOPT_URL, url.c_str());
      api->easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
      api->easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
      api->easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 10L);
      api->easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
      api->easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
      api->easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
      api->easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnData);
      api->easy_setopt(curl, CURLOPT_WRITEDATA, &t);
      api->easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
      api->easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
      api->easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
      if (api->easy_perform(curl) == CURLE_OK) api->easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
      api->easy_cleanup(curl);
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
