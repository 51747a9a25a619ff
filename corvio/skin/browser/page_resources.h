// What a page pulls in besides itself: style sheets and images, fetched through the
// framework's HttpFetcher within the pane's limits, kept for the renderer. Thread-safe:
// the worker fetches while the user-interface thread lays out and draws.
#pragma once

#include <stddef.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "corvio/skin/canvas.h"

namespace corvio {

class CancelToken;
class HttpFetcher;

namespace skin {

struct PageLimits {
  static constexpr size_t kPage = 4 * 1024 * 1024;
  static constexpr size_t kStyleSheet = 1024 * 1024;
  static constexpr size_t kImage = 4 * 1024 * 1024;
  static constexpr int kImageSide = 4096;
  static constexpr int kResources = 64;  // style sheets and images of one page
  static constexpr size_t kImagePixelBytes = size_t{64} << 20;  // decoded, all together
};

struct Fetched {
  bool ok = false;
  long status = 0;  // of a complete answer
  std::string body;
  std::string contentType;
  std::string why;  // when not ok, for the report line
};

class PageResources {
 public:
  PageResources(std::shared_ptr<HttpFetcher> fetcher, std::shared_ptr<CancelToken> cancel);

  // One GET of at most limit bytes; only a complete 200 answer is ok.
  Fetched Get(const std::string& url, size_t limit);
  // A style sheet's text as UTF-8; empty (and one report line) when it fails or breaks a
  // limit.
  std::string StyleSheet(const std::string& url);
  // Images are asked for while the page is read and fetched afterwards, each once.
  void AskImage(const std::string& url);
  bool NextAskedImage(std::string* url);  // false: none left
  // Fetches and decodes one asked image; false when it is left out (reported).
  bool FetchImage(const std::string& url);
  std::shared_ptr<const Image> ImageFor(const std::string& url) const;

 private:
  bool TakeSlot(const std::string& url);  // counts the resource; false past the limit

  std::shared_ptr<HttpFetcher> fetcher_;
  std::shared_ptr<CancelToken> cancel_;
  mutable std::mutex mutex_;
  int used_ = 0;
  size_t pixelBytes_ = 0;
  std::vector<std::string> asked_;
  size_t nextAsked_ = 0;
  std::map<std::string, std::shared_ptr<const Image>> images_;
};

}  // namespace skin
}  // namespace corvio
