// The browser pane's page request: one HTTP GET on a worker thread, its result picked up
// on the user-interface thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace corvio {
namespace skin {

class BrowserFetch {
 public:
  BrowserFetch(int nodeId, std::string url) : nodeId_(nodeId), url_(std::move(url)) {}
  // notify runs on the worker once the result is ready (it must only post a message).
  static void Start(const std::shared_ptr<BrowserFetch>& fetch, std::function<void()> notify);
  void Cancel() { cancelled_ = true; }
  bool Done();
  int NodeId() const { return nodeId_; }
  const std::string& Url() const { return url_; }
  int Status();              // HTTP status, 0 when no answer came
  std::string Text();        // the page's text, UTF-8

 private:
  int nodeId_;
  std::string url_;
  std::atomic<bool> cancelled_{false};
  std::mutex mutex_;
  bool done_ = false;
  int status_ = 0;
  std::string text_;
};

}  // namespace skin
}  // namespace corvio
