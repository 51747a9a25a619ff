// CurlFetcher: one easy handle driven by a private multi handle, so that a cancel from
// another thread wakes the wait at once (curl_multi_wakeup) instead of after a time-out.
#include "corvio/download/curl_fetcher.h"

#include <arpa/inet.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "corvio/download/cancel_token.h"
#include "corvio/download/curl_api.h"
#include "corvio/download/name_lookup.h"
#include "corvio/report.h"

namespace corvio {

namespace {

struct WriteContext {
  const BodySink* body;
  size_t maxBytes;
  size_t received = 0;
  bool tooLarge = false;
  bool refused = false;
  std::string contentEncoding;  // of the last answer (redirects each start afresh)
};

// Notes the Content-Encoding of the answer; each status line starts a new answer.
size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* context = static_cast<WriteContext*>(user);
  const size_t bytes = size * count;
  const std::string line(data, bytes);
  static const char kName[] = "content-encoding:";
  if (line.compare(0, 5, "HTTP/") == 0) {
    context->contentEncoding.clear();
  } else if (line.size() >= sizeof kName - 1 &&
             strncasecmp(line.c_str(), kName, sizeof kName - 1) == 0) {
    const size_t first = line.find_first_not_of(" \t", sizeof kName - 1);
    const size_t last = line.find_last_not_of(" \t\r\n");
    if (first != std::string::npos && last != std::string::npos && last >= first)
      context->contentEncoding = line.substr(first, last - first + 1);
  }
  return bytes;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* context = static_cast<WriteContext*>(user);
  const size_t bytes = size * count;
  if (context->maxBytes && bytes > context->maxBytes - context->received) {
    context->tooLarge = true;
    return 0;  // curl ends the transfer with a write error
  }
  context->received += bytes;
  if (Guarded([&] { return (*context->body)(data, bytes); }, false)) return bytes;
  context->refused = true;
  return 0;
}

// The time limits, the low-speed rule and the size limit of the request.
void SetLimits(const CurlApi* curl, CURL* easy, const FetchRequest& request) {
  curl->easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);  // worker threads must not get SIGALRM
  curl->easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, request.connectTimeoutMs);
  curl->easy_setopt(easy, CURLOPT_TIMEOUT_MS, request.totalTimeoutMs);
  if (request.lowSpeedBytesPerSecond > 0 && request.lowSpeedWindowMs > 0) {
    curl->easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, request.lowSpeedBytesPerSecond);
    curl->easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, (request.lowSpeedWindowMs + 999) / 1000);
  }
  // Refuses an announced length at once (0 is no limit to curl as well); the write
  // callback counts what really comes.
  curl->easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request.maxBodyBytes));
}

// HTTP and HTTPS only, redirects included, and how the transfer names itself.
void SetProtocols(const CurlApi* curl, CURL* easy) {
  curl->easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl->easy_setopt(easy, CURLOPT_MAXREDIRS, 5L);
  curl->easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl->easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl->easy_setopt(easy, CURLOPT_USERAGENT, "CorvioDownloader/1.0");
}

// Loopback never goes through a proxy, unless the user said otherwise.
void SetProxyRule(const CurlApi* curl, CURL* easy) {
  if (!getenv("no_proxy") && !getenv("NO_PROXY")) {
    curl->easy_setopt(easy, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");
  }
}

void SetUp(const CurlApi* curl, CURL* easy, const FetchRequest& request, WriteContext* context,
           char* errorText) {
  curl->easy_setopt(easy, CURLOPT_URL, request.url.c_str());
  SetLimits(curl, easy, request);
  SetProtocols(curl, easy);
  curl->easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
  curl->easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody);
  curl->easy_setopt(easy, CURLOPT_WRITEDATA, context);
  curl->easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader);
  curl->easy_setopt(easy, CURLOPT_HEADERDATA, context);
  SetProxyRule(curl, easy);
}

// The easy handle inside its private multi handle, both given back on every path.
class Transfer {
 public:
  explicit Transfer(const CurlApi* curl)
      : curl_(curl), easy_(curl->easy_init()), multi_(curl->multi_init()) {}
  ~Transfer() {
    if (added_) curl_->multi_remove_handle(multi_, easy_);
    if (easy_) curl_->easy_cleanup(easy_);
    if (multi_) curl_->multi_cleanup(multi_);
    if (resolved_) curl_->slist_free_all(resolved_);
  }
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  bool ok() const { return easy_ && multi_; }
  // Once the easy handle is set up: the multi handle takes it over.
  void Start() { added_ = curl_->multi_add_handle(multi_, easy_) == CURLM_OK; }
  // The addresses found for the server, so that curl never looks its name up itself.
  void UseAddresses(const std::string& host, int port, const std::vector<std::string>& addresses) {
    std::string entry = host + ":" + std::to_string(port) + ":";
    for (size_t i = 0; i < addresses.size(); ++i) entry += (i ? "," : "") + addresses[i];
    if (struct curl_slist* list = curl_->slist_append(nullptr, entry.c_str())) {
      resolved_ = list;
      curl_->easy_setopt(easy_, CURLOPT_RESOLVE, resolved_);
    }
  }
  CURL* easy() const { return easy_; }
  CURLM* multi() const { return multi_; }

 private:
  const CurlApi* curl_;
  CURL* easy_;
  CURLM* multi_;
  bool added_ = false;
  struct curl_slist* resolved_ = nullptr;
};

// The host name and port of an http or https address when it names its server by a name
// the system's resolver would be asked about; false for an address literal or anything
// curl should judge itself.
bool NamedServer(const std::string& url, std::string* host, int* port) {
  const size_t scheme = url.find("://");
  if (scheme == std::string::npos) return false;
  const std::string name = url.substr(0, scheme);
  int defaultPort = 0;
  if (strcasecmp(name.c_str(), "http") == 0) defaultPort = 80;
  else if (strcasecmp(name.c_str(), "https") == 0) defaultPort = 443;
  else return false;
  std::string authority = url.substr(scheme + 3);
  authority = authority.substr(0, authority.find_first_of("/?#"));
  const size_t at = authority.rfind('@');
  if (at != std::string::npos) authority = authority.substr(at + 1);
  if (authority.empty() || authority[0] == '[') return false;
  const size_t colon = authority.find(':');
  *host = authority.substr(0, colon);
  *port = defaultPort;
  if (colon != std::string::npos) {
    const std::string digits = authority.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
      return false;
    *port = atoi(digits.c_str());
  }
  if (host->empty() || host->find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                               "0123456789.-_") != std::string::npos)
    return false;
  in_addr literal;
  return inet_pton(AF_INET, host->c_str(), &literal) != 1;
}

// A proxy looks the server's name up itself; the name may mean nothing here.
bool ProxyConfigured() {
  for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
    const char* value = getenv(name);
    if (value && *value) return true;
  }
  return false;
}

// Runs the transfer; false when it was cancelled.
bool Drive(const CurlApi* curl, CURLM* multi, CancelToken* cancel) {
  int running = 1;
  while (running) {
    if (curl->multi_perform(multi, &running) != CURLM_OK || !running) break;
    if (cancel && cancel->Cancelled()) return false;
    if (curl->multi_poll(multi, nullptr, 0, 1000, nullptr) != CURLM_OK) break;
    if (cancel && cancel->Cancelled()) return false;
  }
  return true;
}

// The three limits end a transfer with one code; the clock and the connection tell which.
FetchFailure TimeoutKind(const CurlApi* curl, CURL* easy, const FetchRequest& request,
                         long elapsedMs) {
  curl_off_t connectTime = 0;
  curl->easy_getinfo(easy, CURLINFO_CONNECT_TIME_T, &connectTime);
  if (connectTime == 0) return FetchFailure::kConnect;
  if (elapsedMs + 100 >= request.totalTimeoutMs) return FetchFailure::kTimeout;
  return FetchFailure::kTooSlow;
}

// Which of the three limits ended the transfer, with its value.
std::string TimeoutText(const FetchRequest& request, FetchFailure kind) {
  if (kind == FetchFailure::kConnect) {
    return "no connection within " + std::to_string(request.connectTimeoutMs) + " ms";
  }
  if (kind == FetchFailure::kTimeout) {
    return "no complete answer within " + std::to_string(request.totalTimeoutMs) + " ms";
  }
  return "too slow: under " + std::to_string(request.lowSpeedBytesPerSecond) + " bytes a second for " +
         std::to_string(request.lowSpeedWindowMs) + " ms";
}

// The failure and its text for a finished transfer's result code.
void Describe(const CurlApi* curl, CURL* easy, const FetchRequest& request, CURLcode code,
              const WriteContext& context, long elapsedMs, const char* errorText,
              FetchResult* result) {
  const std::string detail = errorText[0] ? errorText : curl->easy_strerror(code);
  switch (code) {
    case CURLE_OK:
      result->complete = true;
      return;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
      result->failure = FetchFailure::kConnect;
      result->error = "no connection: " + detail;
      return;
    case CURLE_OPERATION_TIMEDOUT:
      result->failure = TimeoutKind(curl, easy, request, elapsedMs);
      result->error = TimeoutText(request, result->failure);
      return;
    case CURLE_FILESIZE_EXCEEDED:
      result->failure = FetchFailure::kTooLarge;
      break;
    case CURLE_PARTIAL_FILE:
      result->failure = FetchFailure::kCutShort;
      result->error = "the answer was cut short: " + detail;
      return;
    case CURLE_WRITE_ERROR:
      if (context.tooLarge) result->failure = FetchFailure::kTooLarge;
      if (context.refused) {
        result->failure = FetchFailure::kRefused;
        result->error = "the body could not be stored";
        return;
      }
      break;
    default:
      break;
  }
  if (result->failure == FetchFailure::kTooLarge) {
    result->error = "the answer is larger than " + std::to_string(request.maxBodyBytes) + " bytes";
    return;
  }
  result->failure = FetchFailure::kOther;
  result->error = detail;
}

// The transfer's own result code, when the multi handle reports it done.
bool FinishedCode(const CurlApi* curl, const Transfer& transfer, CURLcode* code) {
  bool finished = false;
  int pending = 0;
  while (CURLMsg* message = curl->multi_info_read(transfer.multi(), &pending)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == transfer.easy()) {
      *code = message->data.result;
      finished = true;
    }
  }
  return finished;
}

long MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
          .count());
}

}  // namespace

CurlFetcher::CurlFetcher() = default;

FetchResult CurlFetcher::Fetch(const FetchRequest& request, const BodySink& body,
                               CancelToken* cancel) {
  FetchResult result;
  result.failure = FetchFailure::kOther;
  const CurlApi* curl = Curl();
  if (!curl) {
    result.error = "the network library is not available";
    return result;
  }
  Transfer transfer(curl);
  if (!transfer.ok()) {
    result.error = "cannot start the network library";
    return result;
  }
  const auto start = std::chrono::steady_clock::now();
  // The server's name is looked up here, within the connect limit: curl's own look-up
  // ignores it, and waits for a resolver that never answers when the transfer ends.
  FetchRequest limited = request;
  std::string host;
  int port = 0;
  if (!ProxyConfigured() && NamedServer(request.url, &host, &port)) {
    std::vector<std::string> addresses;
    std::string why;
    switch (LookUpName(host, request.connectTimeoutMs, cancel, &addresses, &why)) {
      case LookupOutcome::kCancelled:
        result.failure = FetchFailure::kCancelled;
        result.error = "cancelled";
        return result;
      case LookupOutcome::kTimedOut:
        result.failure = FetchFailure::kConnect;
        result.error = "no connection within " + std::to_string(request.connectTimeoutMs) +
                       " ms: the name look-up of " + host + " did not answer";
        return result;
      case LookupOutcome::kNotFound:
        result.failure = FetchFailure::kConnect;
        result.error = "no connection: cannot resolve " + host + ": " + why;
        return result;
      case LookupOutcome::kFound:
        transfer.UseAddresses(host, port, addresses);
        break;
    }
    // The look-up's time counts against both limits.
    const long spent = MillisecondsSince(start);
    limited.connectTimeoutMs = std::max(1L, request.connectTimeoutMs - spent);
    limited.totalTimeoutMs = std::max(1L, request.totalTimeoutMs - spent);
  }
  char errorText[CURL_ERROR_SIZE] = {};
  WriteContext context{&body, request.maxBodyBytes, 0, false, false, std::string()};
  SetUp(curl, transfer.easy(), limited, &context, errorText);
  transfer.Start();
  CURLM* multi = transfer.multi();
  if (cancel) cancel->SetWaker([curl, multi] { curl->multi_wakeup(multi); });
  const bool ran = Drive(curl, multi, cancel);
  const long elapsedMs = MillisecondsSince(start);
  if (cancel) cancel->SetWaker(nullptr);

  CURLcode code = CURLE_FAILED_INIT;
  const bool finished = FinishedCode(curl, transfer, &code);
  long status = 0;
  curl->easy_getinfo(transfer.easy(), CURLINFO_RESPONSE_CODE, &status);
  result.httpStatus = status;
  char* contentType = nullptr;
  if (curl->easy_getinfo(transfer.easy(), CURLINFO_CONTENT_TYPE, &contentType) == CURLE_OK && contentType)
    result.contentType = contentType;
  result.contentEncoding = context.contentEncoding;
  result.failure = FetchFailure::kNone;
  if (!ran) {
    result.failure = FetchFailure::kCancelled;
    result.error = "cancelled";
  } else if (!finished) {
    result.failure = FetchFailure::kOther;
    result.error = "the transfer stopped unexpectedly";
  } else {
    Describe(curl, transfer.easy(), request, code, context, elapsedMs, errorText, &result);
  }
  return result;
}

std::shared_ptr<HttpFetcher> SystemFetcher() {
  static const std::shared_ptr<HttpFetcher> fetcher = std::make_shared<CurlFetcher>();
  return fetcher;
}

}  // namespace corvio
