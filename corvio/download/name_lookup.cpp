// LookUpName: getaddrinfo on a detached thread, waited for with a deadline and a cancel.
#include "corvio/download/name_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "corvio/download/cancel_token.h"

namespace corvio {

namespace {

// What the look-up thread and the waiter share; the thread keeps it alive after a waiter
// that gave up has gone.
struct Pending {
  std::mutex mutex;
  std::condition_variable changed;
  bool done = false;
  int code = 0;
  std::vector<std::string> addresses;
};

std::string AddressText(const addrinfo& entry) {
  char text[INET6_ADDRSTRLEN] = {};
  if (entry.ai_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(entry.ai_addr);
    if (inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text)) return text;
  } else if (entry.ai_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(entry.ai_addr);
    if (inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text)) return std::string("[") + text + "]";
  }
  return std::string();
}

void Resolve(const std::shared_ptr<Pending>& pending, const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;  // one entry per address
  addrinfo* found = nullptr;
  const int code = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  std::vector<std::string> addresses;
  for (const addrinfo* a = code == 0 ? found : nullptr; a; a = a->ai_next) {
    const std::string text = AddressText(*a);
    if (!text.empty() && std::find(addresses.begin(), addresses.end(), text) == addresses.end())
      addresses.push_back(text);
  }
  if (found) freeaddrinfo(found);
  std::lock_guard<std::mutex> lock(pending->mutex);
  pending->code = code;
  pending->addresses.swap(addresses);
  pending->done = true;
  pending->changed.notify_all();
}

}  // namespace

LookupOutcome LookUpName(const std::string& host, long limitMs, CancelToken* cancel,
                         std::vector<std::string>* addresses, std::string* why) {
  auto pending = std::make_shared<Pending>();
  try {
    std::thread([pending, host] { Resolve(pending, host); }).detach();
  } catch (const std::system_error&) {
    *why = "no thread for the name look-up";
    return LookupOutcome::kNotFound;
  }
  if (cancel) {
    cancel->SetWaker([pending] {
      std::lock_guard<std::mutex> lock(pending->mutex);
      pending->changed.notify_all();
    });
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs > 0 ? limitMs : 1);
  bool done = false;
  int code = 0;
  {
    std::unique_lock<std::mutex> lock(pending->mutex);
    pending->changed.wait_until(lock, deadline,
                                [&] { return pending->done || (cancel && cancel->Cancelled()); });
    done = pending->done;
    code = pending->code;
    if (done) addresses->swap(pending->addresses);
  }
  // Never under the look-up's lock: a cancel holds the token's lock while it wakes us.
  if (cancel) cancel->SetWaker(nullptr);
  if (cancel && cancel->Cancelled()) return LookupOutcome::kCancelled;
  if (!done) return LookupOutcome::kTimedOut;
  if (code != 0 || addresses->empty()) {
    *why = code != 0 ? gai_strerror(code) : "no address";
    return LookupOutcome::kNotFound;
  }
  return LookupOutcome::kFound;
}

}  // namespace corvio
