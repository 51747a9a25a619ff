// One load of a notice pane's page, off the user-interface thread: the page fetched and
// read into a document with its style sheets, then its images fetched and decoded. The
// user-interface thread takes the document once it is read and lays it out and draws it.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include <litehtml.h>

#include "corvio/skin/skin_types.h"

namespace corvio {

class CancelToken;
class HttpFetcher;

namespace skin {

class Font;
class HtmlContainer;
class PageResources;

class PageLoad {
 public:
  enum class Stage { kLoading, kFailed, kRead };

  // font: the pane's skin font, the page's default face; text: the pane's text colour, the
  // page's default colour.
  PageLoad(std::string url, std::shared_ptr<Font> font, Color text = Color{0, 0, 0, 255});
  ~PageLoad();
  // Runs the load on a worker that holds its own share; notify runs on the worker when the
  // document is read (or the load failed) and after each image, and not after Cancel. It
  // must only post a message.
  static void Start(const std::shared_ptr<PageLoad>& load, std::shared_ptr<HttpFetcher> fetcher,
                    std::function<void()> notify);
  void Cancel();  // from any thread; a request under way is woken at once
  const std::string& Url() const { return url_; }

  // From the user-interface thread. Once the stage is kRead, the document and its container
  // belong to that thread alone.
  Stage CurrentStage() const;
  int Status() const;  // HTTP status of the page, 0 when no complete answer came
  int ImagesArrived() const { return imagesArrived_.load(); }
  litehtml::document::ptr Document() const { return document_; }
  HtmlContainer* Container() const { return container_.get(); }

 private:
  void Run(std::shared_ptr<HttpFetcher> fetcher, const std::function<void()>& notify);

  std::string url_;
  std::shared_ptr<Font> font_;
  Color text_;
  std::shared_ptr<CancelToken> cancel_;
  std::shared_ptr<PageResources> resources_;
  mutable std::mutex mutex_;
  Stage stage_ = Stage::kLoading;
  int status_ = 0;
  std::atomic<int> imagesArrived_{0};
  std::unique_ptr<HtmlContainer> container_;  // before the document, which uses it to its end
  litehtml::document::ptr document_;
};

}  // namespace skin
}  // namespace corvio
