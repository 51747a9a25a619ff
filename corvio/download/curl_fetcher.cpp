// CurlFetcher: one easy handle driven by a private multi handle, so that a cancel from
// another thread wakes the wait at once (curl_multi_wakeup) instead of after a time-out.
#include "corvio/download/curl_fetcher.h"

#include <stdlib.h>

#include "corvio/download/cancel_token.h"
#include "corvio/download/curl_api.h"

namespace corvio {

namespace {

struct WriteContext {
  const BodySink* body;
  bool refused = false;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* context = static_cast<WriteContext*>(user);
  const size_t bytes = size * count;
  try {
    if ((*context->body)(data, bytes)) return bytes;
  } catch (...) {
  }
  context->refused = true;
  return 0;  // curl ends the transfer with a write error
}

}  // namespace

CurlFetcher::CurlFetcher() = default;

FetchResult CurlFetcher::Fetch(const FetchRequest& request, const BodySink& body,
                               CancelToken* cancel) {
  FetchResult result;
  const CurlApi* curl = Curl();
  if (!curl) {
    result.error = "the network library is not available";
    return result;
  }
  CURL* easy = curl->easy_init();
  CURLM* multi = curl->multi_init();
  if (!easy || !multi) {
    if (easy) curl->easy_cleanup(easy);
    if (multi) curl->multi_cleanup(multi);
    result.error = "cannot start the network library";
    return result;
  }
  char errorText[CURL_ERROR_SIZE] = {};
  WriteContext context{&body};
  curl->easy_setopt(easy, CURLOPT_URL, request.url.c_str());
  curl->easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);  // worker threads must not get SIGALRM
  curl->easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, request.connectTimeoutMs);
  curl->easy_setopt(easy, CURLOPT_TIMEOUT_MS, request.totalTimeoutMs);
  curl->easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl->easy_setopt(easy, CURLOPT_MAXREDIRS, 5L);
  curl->easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl->easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl->easy_setopt(easy, CURLOPT_USERAGENT, "CorvioDownloader/1.0");
  curl->easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
  curl->easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody);
  curl->easy_setopt(easy, CURLOPT_WRITEDATA, &context);
  // Loopback never goes through a proxy, unless the user said otherwise.
  if (!getenv("no_proxy") && !getenv("NO_PROXY")) {
    curl->easy_setopt(easy, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");
  }
  curl->multi_add_handle(multi, easy);
  if (cancel) cancel->SetWaker([curl, multi] { curl->multi_wakeup(multi); });

  bool cancelled = false;
  int running = 1;
  while (running) {
    if (curl->multi_perform(multi, &running) != CURLM_OK) break;
    if (!running) break;
    if (cancel && cancel->Cancelled()) {
      cancelled = true;
      break;
    }
    if (curl->multi_poll(multi, nullptr, 0, 1000, nullptr) != CURLM_OK) break;
    if (cancel && cancel->Cancelled()) {
      cancelled = true;
      break;
    }
  }
  if (cancel) cancel->SetWaker(nullptr);

  CURLcode code = CURLE_FAILED_INIT;
  bool finished = false;
  int pending = 0;
  while (CURLMsg* message = curl->multi_info_read(multi, &pending)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
      code = message->data.result;
      finished = true;
    }
  }
  long status = 0;
  curl->easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  result.httpStatus = status;
  if (cancelled) {
    result.error = "cancelled";
  } else if (!finished) {
    result.error = "the transfer stopped unexpectedly";
  } else if (code != CURLE_OK) {
    result.error = errorText[0] ? errorText : curl->easy_strerror(code);
    if (context.refused) result.error = "the body could not be stored";
  } else {
    result.complete = true;
  }
  curl->multi_remove_handle(multi, easy);
  curl->easy_cleanup(easy);
  curl->multi_cleanup(multi);
  return result;
}

}  // namespace corvio
