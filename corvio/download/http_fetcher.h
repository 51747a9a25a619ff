// The framework's view of the network: one blocking HTTP GET that streams the body to
// a callback and can be cancelled from another thread. Tests substitute their own.
#pragma once

#include <stddef.h>

#include <functional>
#include <memory>
#include <string>

namespace corvio {

class CancelToken;

struct FetchRequest {
  std::string url;  // http or https; redirects are followed, at most 5
  long connectTimeoutMs = 5000;
  long totalTimeoutMs = 20000;
  // Abandoned when fewer than lowSpeedBytesPerSecond arrive on average over the last
  // lowSpeedWindowMs (waiting for the answer included); 0 in either switches it off.
  long lowSpeedBytesPerSecond = 1024;
  long lowSpeedWindowMs = 3000;
  // A body announced or grown beyond this ends the transfer as failed; 0: no limit.
  size_t maxBodyBytes = 1024 * 1024;
};

// Why a transfer did not complete, the same on every system.
enum class FetchFailure {
  kNone,
  kCancelled,
  kConnect,   // no connection: refused, unreachable, unknown name, connect time limit
  kTimeout,   // the total time limit passed
  kTooSlow,   // below the low speed for the whole window
  kTooLarge,  // more than maxBodyBytes announced or sent
  kCutShort,  // the body ended before its announced length
  kRefused,   // the body callback refused the data
  kOther,     // not HTTP, too many redirects, another protocol, TLS, ...
};

struct FetchResult {
  bool complete = false;  // the whole answer arrived (its length matched what was announced)
  long httpStatus = 0;    // 0 when no answer came
  std::string contentType;  // the answer's Content-Type header, as sent (empty: none)
  FetchFailure failure = FetchFailure::kNone;
  std::string error;      // why the transfer did not complete, for a person
  std::string contentEncoding;  // the answer's Content-Encoding as sent; empty when none
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

// The fetcher of this system (libcurl on Linux, WinHTTP on Windows), one per process and
// safe to use from several threads at once.
std::shared_ptr<HttpFetcher> SystemFetcher();

}  // namespace corvio
