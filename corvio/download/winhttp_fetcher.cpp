// WinHttpFetcher: WinHTTP in asynchronous mode, so that the worker itself waits for the
// answer, a cancel and its own clock at once. The time limits hold even where WinHTTP's
// own do not (under Wine WinHttpSetTimeouts did not bound a server that never answers),
// and a cancel closes the request at once instead of after a time-out.
#include "corvio/download/winhttp_fetcher.h"

#include <winsock2.h>
#include <windows.h>
#include <winhttp.h>
#include <string.h>

#include <string>

#include "corvio/download/cancel_token.h"
#include "corvio/report.h"

namespace corvio {

namespace {

const wchar_t kUserAgent[] = L"CorvioDownloader/1.0";
constexpr DWORD kReadSize = 16 * 1024;
constexpr DWORD kMaxRedirects = 5;
constexpr ULONGLONG kCheckEveryMs = 250;  // how often the clock is looked at while waiting
constexpr size_t kMaxUrl = 8192;

// What the status callback hands the worker; one operation is outstanding at a time.
// It lives until WinHTTP says the request handle is closing: a read still pending then
// writes into its buffer, so the callback frees it, not the worker.
struct Exchange {
  CRITICAL_SECTION lock;
  HANDLE completed = nullptr;  // auto-reset: the operation finished or failed, or connected
  bool connected = false;      // reached the server (Wine completes the send only with an answer)
  bool finished = false;
  DWORD status = 0;  // WINHTTP_CALLBACK_STATUS_* of the finished operation
  DWORD length = 0;  // bytes of a finished read
  DWORD error = 0;   // of a failed one
  char buffer[kReadSize];
};

void FreeExchange(Exchange* x) {
  if (x->completed) CloseHandle(x->completed);
  DeleteCriticalSection(&x->lock);
  delete x;
}

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
  Exchange* x = reinterpret_cast<Exchange*>(context);
  if (!x) return;
  if (status == WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING) {
    FreeExchange(x);  // the last notification of the handle
    return;
  }
  if (status == WINHTTP_CALLBACK_STATUS_CONNECTED_TO_SERVER ||
      status == WINHTTP_CALLBACK_STATUS_REQUEST_SENT) {
    EnterCriticalSection(&x->lock);
    x->connected = true;
    LeaveCriticalSection(&x->lock);
    SetEvent(x->completed);
    return;
  }
  if (status != WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE &&
      status != WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE &&
      status != WINHTTP_CALLBACK_STATUS_READ_COMPLETE &&
      status != WINHTTP_CALLBACK_STATUS_REQUEST_ERROR) {
    return;
  }
  EnterCriticalSection(&x->lock);
  x->finished = true;
  x->status = status;
  x->length = length;
  x->error = 0;
  if (status == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR) {
    const auto* result = static_cast<const WINHTTP_ASYNC_RESULT*>(info);
    x->error = result ? result->dwError : ERROR_WINHTTP_INTERNAL_ERROR;
  }
  LeaveCriticalSection(&x->lock);
  SetEvent(x->completed);
}

// Bytes counted at moments of the transfer, enough to tell what the last window brought.
class SpeedWatch {
 public:
  SpeedWatch(long bytesPerSecond, long windowMs)
      : limit_(bytesPerSecond > 0 ? static_cast<ULONGLONG>(bytesPerSecond) : 0),
        window_(windowMs > 0 ? static_cast<ULONGLONG>(windowMs) : 0),
        spacing_(window_ / 8 > 0 ? window_ / 8 : 1) {}

  void Begin(ULONGLONG now) {
    count_ = 0;
    Add(now, 0);
  }

  // True when the bytes of the last full window stayed below the limit.
  bool TooSlow(ULONGLONG now, ULONGLONG bytes) {
    if (!limit_ || !window_ || count_ == 0) return false;
    if (now - samples_[count_ - 1].at >= spacing_) Add(now, bytes);
    int base = -1;  // the newest sample at least a window old
    for (int i = count_ - 1; i >= 0; --i) {
      if (now - samples_[i].at >= window_) {
        base = i;
        break;
      }
    }
    if (base < 0) return false;
    Drop(base);
    return (bytes - samples_[0].bytes) * 1000 < limit_ * window_;
  }

 private:
  struct Sample {
    ULONGLONG at;
    ULONGLONG bytes;
  };
  static constexpr int kSamples = 16;

  void Add(ULONGLONG now, ULONGLONG bytes) {
    if (count_ == kSamples) Drop(1);
    samples_[count_++] = {now, bytes};
  }
  void Drop(int first) {
    for (int i = first; i < count_; ++i) samples_[i - first] = samples_[i];
    count_ -= first;
  }

  ULONGLONG limit_;
  ULONGLONG window_;
  ULONGLONG spacing_;
  Sample samples_[kSamples];
  int count_ = 0;
};

// Texts for the codes WinHTTP gives; under Wine, and for some failures on Windows too,
// the Winsock code comes through as it is.
struct KnownError {
  DWORD code;
  FetchFailure failure;
  const char* text;
};

const KnownError kKnownErrors[] = {
    {ERROR_WINHTTP_CANNOT_CONNECT, FetchFailure::kConnect, "cannot connect to the server"},
    {ERROR_WINHTTP_NAME_NOT_RESOLVED, FetchFailure::kConnect, "the server's name is unknown"},
    {ERROR_WINHTTP_TIMEOUT, FetchFailure::kTimeout, "the server did not answer in time"},
    {ERROR_WINHTTP_CONNECTION_ERROR, FetchFailure::kOther, "the connection broke"},
    {ERROR_WINHTTP_INVALID_SERVER_RESPONSE, FetchFailure::kOther, "the server's answer is not HTTP"},
    {ERROR_WINHTTP_REDIRECT_FAILED, FetchFailure::kOther,
     "more than 5 redirects, or a redirect to another protocol"},
    {ERROR_WINHTTP_UNRECOGNIZED_SCHEME, FetchFailure::kOther, "only http and https can be fetched"},
    {ERROR_WINHTTP_INVALID_URL, FetchFailure::kOther, "not a valid address"},
    {ERROR_WINHTTP_SECURE_FAILURE, FetchFailure::kOther, "the secure connection failed"},
    {ERROR_WINHTTP_HEADER_SIZE_OVERFLOW, FetchFailure::kOther, "the answer's headers are too large"},
    {ERROR_WINHTTP_OPERATION_CANCELLED, FetchFailure::kCancelled, "cancelled"},
    {WSAECONNREFUSED, FetchFailure::kConnect, "the server refused the connection"},
    {WSAETIMEDOUT, FetchFailure::kConnect, "the connection timed out"},
    {WSAEHOSTUNREACH, FetchFailure::kConnect, "the server cannot be reached"},
    {WSAENETUNREACH, FetchFailure::kConnect, "the network cannot be reached"},
    {WSAEADDRNOTAVAIL, FetchFailure::kConnect, "the server's address is not usable"},
    {WSAHOST_NOT_FOUND, FetchFailure::kConnect, "the server's name is unknown"},
    {WSANO_DATA, FetchFailure::kConnect, "the server's name has no address"},
    {WSAECONNRESET, FetchFailure::kOther, "the server reset the connection"},
    {WSAECONNABORTED, FetchFailure::kOther, "the connection was aborted"},
};

// The system's own text for a code nobody here knows, from WinHTTP's messages first.
std::string SystemText(DWORD code) {
  char text[256] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                                GetModuleHandleA("winhttp.dll"), code, 0, text, sizeof text, nullptr);
  if (!length) {
    length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                            code, 0, text, sizeof text, nullptr);
  }
  std::string out(text, length < sizeof text ? length : sizeof text - 1);
  while (!out.empty() && (out.back() == '\r' || out.back() == '\n' || out.back() == ' ' ||
                          out.back() == '.')) {
    out.pop_back();
  }
  return out.empty() ? "network error" : out;
}

bool IsLoopback(const std::wstring& host) {
  return host.compare(0, 4, L"127.") == 0 || host == L"localhost" || host == L"::1" ||
         host == L"[::1]";
}

ULONGLONG Now() { return GetTickCount64(); }

// One request from opening to the last byte; the worker's side of the exchange.
class Transfer {
 public:
  Transfer(const FetchRequest& request, CancelToken* cancel)
      : request_(request), cancel_(cancel),
        speed_(request.lowSpeedBytesPerSecond, request.lowSpeedWindowMs) {}
  ~Transfer() { Close(); }

  FetchResult Run(const BodySink& body);

 private:
  enum class Phase { kSending, kWaiting, kReading };
  struct Target {
    std::wstring host;
    std::wstring path;  // with the query
    INTERNET_PORT port = 0;
    bool secure = false;
  };

  bool ParseUrl(Target* out);
  bool Open();
  bool Await(Phase phase);
  bool ReadHeaders();
  bool ReadBody(const BodySink& body);
  void Close();
  bool Fail(FetchFailure failure, const std::string& text);
  bool FailWithCode(DWORD code, Phase phase);

  const FetchRequest& request_;
  CancelToken* cancel_;
  SpeedWatch speed_;
  FetchResult result_;
  ULONGLONG start_ = 0;
  HINTERNET session_ = nullptr;
  HINTERNET connection_ = nullptr;
  HINTERNET request_handle_ = nullptr;
  Exchange* exchange_ = nullptr;
  bool callbackOwnsExchange_ = false;
  bool connected_ = false;
  HANDLE cancelled_ = nullptr;  // manual-reset, set by the cancel token's waker
  unsigned long long received_ = 0;
  unsigned long long announced_ = 0;
  bool hasLength_ = false;
  DWORD status_ = 0;  // of the last finished operation
  DWORD length_ = 0;
  DWORD error_ = 0;
};

bool Transfer::Fail(FetchFailure failure, const std::string& text) {
  result_.complete = false;
  result_.failure = failure;
  result_.error = text;
  return false;
}

bool Transfer::FailWithCode(DWORD code, Phase phase) {
  if (code == ERROR_WINHTTP_OPERATION_CANCELLED && cancel_ && cancel_->Cancelled()) {
    return Fail(FetchFailure::kCancelled, "cancelled");
  }
  for (const KnownError& known : kKnownErrors) {
    if (known.code != code) continue;
    FetchFailure failure = known.failure;
    // A connection that breaks during the body ends it early.
    if (phase == Phase::kReading && failure == FetchFailure::kOther &&
        (code == ERROR_WINHTTP_CONNECTION_ERROR || code == WSAECONNRESET ||
         code == WSAECONNABORTED)) {
      failure = FetchFailure::kCutShort;
    }
    if (phase == Phase::kSending && failure == FetchFailure::kTimeout) {
      failure = FetchFailure::kConnect;
    }
    return Fail(failure, std::string(known.text) + " (error " + std::to_string(code) + ")");
  }
  return Fail(FetchFailure::kOther, SystemText(code) + " (error " + std::to_string(code) + ")");
}

bool Transfer::ParseUrl(Target* out) {
  if (request_.url.size() > kMaxUrl) return Fail(FetchFailure::kOther, "the address is too long");
  wchar_t wide[kMaxUrl + 1];
  const int length = MultiByteToWideChar(CP_ACP, 0, request_.url.data(),
                                         static_cast<int>(request_.url.size()), wide, kMaxUrl);
  if (length <= 0) return Fail(FetchFailure::kOther, "the address is not text of this system");
  wide[length] = L'\0';
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof parts;
  parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength =
      parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(wide, static_cast<DWORD>(length), 0, &parts)) {
    return FailWithCode(GetLastError(), Phase::kSending);
  }
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
    return Fail(FetchFailure::kOther, "only http and https can be fetched");
  }
  out->host.assign(parts.lpszHostName, parts.dwHostNameLength);
  out->path.assign(parts.lpszUrlPath ? parts.lpszUrlPath : L"", parts.dwUrlPathLength);
  if (parts.lpszExtraInfo) out->path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (out->path.empty()) out->path = L"/";
  out->port = parts.nPort;
  out->secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  if (out->host.empty()) return Fail(FetchFailure::kOther, "the address names no server");
  return true;
}

bool Transfer::Open() {
  Target target;
  if (!ParseUrl(&target)) return false;
  // Loopback never goes through a proxy; other hosts take the system's proxy settings.
  session_ = WinHttpOpen(kUserAgent,
                         IsLoopback(target.host) ? WINHTTP_ACCESS_TYPE_NO_PROXY
                                          : WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                         WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
  if (!session_) return FailWithCode(GetLastError(), Phase::kSending);
  // WinHTTP's own limits back up the clock of this worker; they never come first.
  const int connectMs = static_cast<int>(request_.connectTimeoutMs);
  const int totalMs = static_cast<int>(request_.totalTimeoutMs);
  WinHttpSetTimeouts(session_, connectMs, connectMs, totalMs, totalMs);
  connection_ = WinHttpConnect(session_, target.host.c_str(), target.port, 0);
  if (!connection_) return FailWithCode(GetLastError(), Phase::kSending);
  request_handle_ = WinHttpOpenRequest(connection_, L"GET", target.path.c_str(), nullptr,
                                       WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                       target.secure ? WINHTTP_FLAG_SECURE : 0);
  if (!request_handle_) return FailWithCode(GetLastError(), Phase::kSending);
  DWORD redirects = kMaxRedirects;
  WinHttpSetOption(request_handle_, WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, &redirects,
                   sizeof redirects);
  DWORD responseMs = static_cast<DWORD>(totalMs);
  WinHttpSetOption(request_handle_, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseMs,
                   sizeof responseMs);

  exchange_ = new Exchange();
  InitializeCriticalSection(&exchange_->lock);
  exchange_->completed = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  cancelled_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!exchange_->completed || !cancelled_) return Fail(FetchFailure::kOther, "cannot create an event");
  DWORD_PTR context = reinterpret_cast<DWORD_PTR>(exchange_);
  if (!WinHttpSetOption(request_handle_, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context)) {
    return FailWithCode(GetLastError(), Phase::kSending);
  }
  if (WinHttpSetStatusCallback(request_handle_, OnStatus,
                               WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES |
                                   WINHTTP_CALLBACK_FLAG_CONNECT_TO_SERVER |
                                   WINHTTP_CALLBACK_FLAG_SEND_REQUEST,
                               0) == WINHTTP_INVALID_STATUS_CALLBACK) {
    return FailWithCode(GetLastError(), Phase::kSending);
  }
  callbackOwnsExchange_ = true;
  if (cancel_) {
    HANDLE event = cancelled_;
    cancel_->SetWaker([event] { SetEvent(event); });
    if (cancel_->Cancelled()) return Fail(FetchFailure::kCancelled, "cancelled");
  }
  return true;
}

// Waits for the outstanding operation, watching the cancel and the limits: the connect
// limit until the server is reached, then the total one and the low speed.
bool Transfer::Await(Phase phase) {
  for (;;) {
    const ULONGLONG now = Now();
    const ULONGLONG limit =
        !connected_ && request_.connectTimeoutMs < request_.totalTimeoutMs
            ? static_cast<ULONGLONG>(request_.connectTimeoutMs)
            : static_cast<ULONGLONG>(request_.totalTimeoutMs);
    const ULONGLONG deadline = start_ + limit;
    if (now >= deadline) {
      if (!connected_) {
        return Fail(FetchFailure::kConnect,
                    "no connection within " + std::to_string(limit) + " ms");
      }
      return Fail(FetchFailure::kTimeout,
                  "no complete answer within " + std::to_string(request_.totalTimeoutMs) + " ms");
    }
    if (connected_ && speed_.TooSlow(now, received_)) {
      return Fail(FetchFailure::kTooSlow,
                  "too slow: under " + std::to_string(request_.lowSpeedBytesPerSecond) +
                      " bytes a second for " + std::to_string(request_.lowSpeedWindowMs) + " ms");
    }
    const ULONGLONG left = deadline - now;
    const DWORD wait = static_cast<DWORD>(left < kCheckEveryMs ? left : kCheckEveryMs);
    HANDLE events[2] = {exchange_->completed, cancelled_};
    const DWORD woken = WaitForMultipleObjects(2, events, FALSE, wait);
    if (woken == WAIT_OBJECT_0 + 1) return Fail(FetchFailure::kCancelled, "cancelled");
    if (woken == WAIT_FAILED) return Fail(FetchFailure::kOther, "cannot wait for the answer");
    if (woken != WAIT_OBJECT_0) continue;
    EnterCriticalSection(&exchange_->lock);
    const bool connected = exchange_->connected;
    const bool finished = exchange_->finished;
    exchange_->finished = false;
    status_ = exchange_->status;
    length_ = exchange_->length;
    error_ = exchange_->error;
    LeaveCriticalSection(&exchange_->lock);
    // The low speed counts from the moment the server is reached.
    if (connected && !connected_) {
      connected_ = true;
      speed_.Begin(Now());
    }
    if (!finished) continue;
    if (status_ == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR) {
      return FailWithCode(error_, connected_ ? phase : Phase::kSending);
    }
    if (!connected_) {  // a finished send has reached the server, whatever was notified
      connected_ = true;
      speed_.Begin(Now());
    }
    return true;
  }
}

bool Transfer::ReadHeaders() {
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!WinHttpQueryHeaders(request_handle_, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
    return FailWithCode(GetLastError(), Phase::kWaiting);
  }
  result_.httpStatus = static_cast<long>(status);
  wchar_t type[256] = {};
  size = sizeof type - sizeof type[0];
  if (WinHttpQueryHeaders(request_handle_, WINHTTP_QUERY_CONTENT_TYPE, WINHTTP_HEADER_NAME_BY_INDEX,
                          type, &size, WINHTTP_NO_HEADER_INDEX)) {
    // Header values are ASCII; anything else cannot name a character set.
    for (const wchar_t* p = type; *p; ++p) result_.contentType += *p < 0x80 ? static_cast<char>(*p) : '?';
  }
  wchar_t text[64] = {};
  size = sizeof text - sizeof text[0];
  if (WinHttpQueryHeaders(request_handle_, WINHTTP_QUERY_CONTENT_ENCODING, WINHTTP_HEADER_NAME_BY_INDEX,
                          text, &size, WINHTTP_NO_HEADER_INDEX)) {
    result_.contentEncoding.clear();
    for (const wchar_t* p = text; *p; ++p) result_.contentEncoding += *p < 0x80 ? static_cast<char>(*p) : '?';
  } else if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    result_.contentEncoding = "(a value too long to show)";
  }
  // A chunked body carries its own end; a length beside it means nothing.
  memset(text, 0, sizeof text);
  size = sizeof text - sizeof text[0];
  if (WinHttpQueryHeaders(request_handle_, WINHTTP_QUERY_TRANSFER_ENCODING,
                          WINHTTP_HEADER_NAME_BY_INDEX, text, &size, WINHTTP_NO_HEADER_INDEX)) {
    return true;
  }
  size = sizeof text - sizeof text[0];
  if (!WinHttpQueryHeaders(request_handle_, WINHTTP_QUERY_CONTENT_LENGTH,
                           WINHTTP_HEADER_NAME_BY_INDEX, text, &size, WINHTTP_NO_HEADER_INDEX)) {
    return true;
  }
  unsigned long long value = 0;
  int digits = 0;
  for (const wchar_t* p = text; *p; ++p) {
    if (*p == L' ' || *p == L'\t') continue;
    if (*p < L'0' || *p > L'9' || ++digits > 18) return true;  // not a length: ignored
    value = value * 10 + static_cast<unsigned>(*p - L'0');
  }
  if (!digits) return true;
  hasLength_ = true;
  announced_ = value;
  if (request_.maxBodyBytes && announced_ > request_.maxBodyBytes) {
    return Fail(FetchFailure::kTooLarge,
                "the answer is larger than " + std::to_string(request_.maxBodyBytes) + " bytes");
  }
  return true;
}

bool Transfer::ReadBody(const BodySink& body) {
  for (;;) {
    if (!WinHttpReadData(request_handle_, exchange_->buffer, kReadSize, nullptr)) {
      return FailWithCode(GetLastError(), Phase::kReading);
    }
    if (!Await(Phase::kReading)) return false;
    if (length_ == 0) break;  // the end of the data, or of the connection: see below
    const DWORD bytes = length_ < kReadSize ? length_ : kReadSize;
    if (request_.maxBodyBytes && received_ + bytes > request_.maxBodyBytes) {
      return Fail(FetchFailure::kTooLarge,
                  "the answer is larger than " + std::to_string(request_.maxBodyBytes) + " bytes");
    }
    received_ += bytes;
    const bool taken = Guarded([&] { return body(exchange_->buffer, bytes); }, false);
    if (!taken) return Fail(FetchFailure::kRefused, "the body could not be stored");
  }
  // WinHTTP ends a body cut short like a complete one.
  if (hasLength_ && received_ != announced_) {
    return Fail(FetchFailure::kCutShort, "the answer was cut short: " + std::to_string(received_) +
                                             " of " + std::to_string(announced_) + " bytes came");
  }
  return true;
}

FetchResult Transfer::Run(const BodySink& body) {
  start_ = Now();
  result_.failure = FetchFailure::kNone;
  if (!Open()) return result_;
  if (!WinHttpSendRequest(request_handle_, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                          WINHTTP_NO_REQUEST_DATA, 0, 0, reinterpret_cast<DWORD_PTR>(exchange_))) {
    FailWithCode(GetLastError(), Phase::kSending);
    return result_;
  }
  if (!Await(Phase::kSending)) return result_;
  if (!WinHttpReceiveResponse(request_handle_, nullptr)) {
    FailWithCode(GetLastError(), Phase::kWaiting);
    return result_;
  }
  if (!Await(Phase::kWaiting) || !ReadHeaders() || !ReadBody(body)) return result_;
  result_.complete = true;
  result_.failure = FetchFailure::kNone;
  return result_;
}

void Transfer::Close() {
  if (cancel_) cancel_->SetWaker(nullptr);
  if (cancelled_) CloseHandle(cancelled_);
  // After this the exchange belongs to the callback, which frees it when WinHTTP is done.
  if (request_handle_) WinHttpCloseHandle(request_handle_);
  if (exchange_ && !callbackOwnsExchange_) FreeExchange(exchange_);
  if (connection_) WinHttpCloseHandle(connection_);
  if (session_) WinHttpCloseHandle(session_);
}

}  // namespace

FetchResult WinHttpFetcher::Fetch(const FetchRequest& request, const BodySink& body,
                                  CancelToken* cancel) {
  Transfer transfer(request, cancel);
  return transfer.Run(body);
}

std::shared_ptr<HttpFetcher> SystemFetcher() {
  static const std::shared_ptr<HttpFetcher> fetcher = std::make_shared<WinHttpFetcher>();
  return fetcher;
}

}  // namespace corvio
