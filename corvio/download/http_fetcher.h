// The downloader's view of the network: one blocking HTTP GET that streams the body to
// a callback and can be cancelled from another thread. Tests substitute their own.
#pragma once

#include <stddef.h>

#include <functional>
#include <string>

namespace corvio {

class CancelToken;

struct FetchRequest {
  std::string url;
  long connectTimeoutMs = 5000;
  long totalTimeoutMs = 20000;
};

struct FetchResult {
  bool complete = false;  // the whole answer arrived (its length matched what was announced)
  long httpStatus = 0;    // 0 when no answer came
  std::string error;      // why the transfer did not complete
};

// Receives body bytes; returning false aborts the transfer.
using BodySink = std::function<bool(const char* data, size_t size)>;

class HttpFetcher {
 public:
  virtual ~HttpFetcher() = default;
  // Blocks until the answer is complete, fails, times out or cancel is triggered.
  virtual FetchResult Fetch(const FetchRequest& request, const BodySink& body,
                            CancelToken* cancel) = 0;
};

}  // namespace corvio
