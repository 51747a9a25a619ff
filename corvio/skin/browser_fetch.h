// The browser pane's page request: one HTTP GET through the framework's HttpFetcher on
// a worker thread, its result picked up on the user-interface thread.
#pragma once

#include <stddef.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace corvio {

class CancelToken;
class HttpFetcher;

namespace skin {

class BrowserFetch {
 public:
  // The pane shows text, not media: a page beyond this is refused as a whole.
  static constexpr size_t kMaxPage = 4 * 1024 * 1024;

  BrowserFetch(int nodeId, std::string url);
  ~BrowserFetch();
  // Runs the request through the system's fetcher. notify runs on the worker once the
  // result is ready (it must only post a message), and not at all after Cancel.
  static void Start(const std::shared_ptr<BrowserFetch>& fetch, std::function<void()> notify);
  // The same through another fetcher.
  static void Start(const std::shared_ptr<BrowserFetch>& fetch,
                    std::shared_ptr<HttpFetcher> fetcher, std::function<void()> notify);
  void Cancel();  // from any thread; a request under way is woken at once
  bool Done();
  int NodeId() const { return nodeId_; }
  const std::string& Url() const { return url_; }
  int Status();        // HTTP status of a complete answer, 0 when none came
  std::string Text();  // the page's text, UTF-8; empty unless the status is 200

 private:
  void Run(HttpFetcher& fetcher);

  int nodeId_;
  std::string url_;
  std::unique_ptr<CancelToken> cancel_;
  std::mutex mutex_;
  bool done_ = false;
  int status_ = 0;
  std::string text_;
};

}  // namespace skin
}  // namespace corvio
