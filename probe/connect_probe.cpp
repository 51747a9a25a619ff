// The handshake measure: a bounded look-up, then a non-blocking connect waited for with
// select, the same calls on both systems.
#include "probe/connect_probe.h"

#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <new>

#include "platform/win32.h"

namespace {

bool IsHostChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-' || c == '_';
}

// Look-ups abandoned to a resolver that does not answer end only when it gives up; past
// this many at once a name is not looked up, so refreshes cannot pile threads up.
constexpr int kMaxLookups = 40;
std::atomic<int> g_lookups{0};

// A look-up that may outlive the worker waiting for it: whichever of the two lets go
// last frees it.
struct Lookup {
  std::atomic<int> holders{2};
  char name[256];
  uint32_t address = 0;  // network order
  std::atomic<bool> found{false};
};

void LetGo(Lookup* lookup) {
  if (lookup->holders.fetch_sub(1) == 1) delete lookup;
}

DWORD WINAPI LookupThread(LPVOID parameter) {
  Lookup* lookup = static_cast<Lookup*>(parameter);
  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) == 0) {
    hostent* host = gethostbyname(lookup->name);
    if (host && host->h_addr_list && host->h_addr_list[0] && host->h_length == 4) {
      memcpy(&lookup->address, host->h_addr_list[0], sizeof lookup->address);
      lookup->found.store(true);
    }
    WSACleanup();
  }
  LetGo(lookup);
  --g_lookups;
  return 0;
}

// The IPv4 address of `host` in network order, waiting at most `waitMs` for a name.
bool Resolve(const char* host, uint32_t waitMs, uint32_t* address) {
  const unsigned long literal = inet_addr(host);
  if (literal != INADDR_NONE || strcmp(host, "255.255.255.255") == 0) {
    *address = static_cast<uint32_t>(literal);
    return true;
  }
  if (++g_lookups > kMaxLookups) {
    --g_lookups;
    return false;
  }
  Lookup* lookup = new (std::nothrow) Lookup;
  if (!lookup) {
    --g_lookups;
    return false;
  }
  strncpy(lookup->name, host, sizeof lookup->name - 1);
  lookup->name[sizeof lookup->name - 1] = '\0';
  HANDLE thread = CreateThread(nullptr, 0, LookupThread, lookup, 0, nullptr);
  if (!thread) {
    delete lookup;
    --g_lookups;
    return false;
  }
  const bool done = WaitForSingleObject(thread, waitMs) == WAIT_OBJECT_0;
  CloseHandle(thread);
  const bool found = done && lookup->found.load();
  if (found) *address = lookup->address;
  LetGo(lookup);
  return found;
}

}  // namespace

bool SplitGameAddress(const char* url, char* host, size_t hostSize, uint16_t* port) {
  if (!url || !host || hostSize == 0 || !port) return false;
  const char* start = strstr(url, "://");
  start = start ? start + 3 : url;
  const char* colon = start;
  while (*colon && *colon != ':' && *colon != '/') ++colon;
  if (*colon != ':' || colon == start || static_cast<size_t>(colon - start) >= hostSize) return false;
  for (const char* p = start; p < colon; ++p)
    if (!IsHostChar(*p)) return false;
  const char* digits = colon + 1;
  long value = 0;
  const char* p = digits;
  while (*p >= '0' && *p <= '9' && p - digits < 6) value = value * 10 + (*p++ - '0');
  if (p == digits || (*p && *p != '/') || value < 1 || value > 65535) return false;
  memcpy(host, start, static_cast<size_t>(colon - start));
  host[colon - start] = '\0';
  *port = static_cast<uint16_t>(value);
  return true;
}

bool MeasureConnect(const char* host, uint16_t port, uint32_t budgetMs, int32_t& milliseconds) {
  const DWORD begin = GetTickCount();
  uint32_t address = 0;
  if (!host || !*host || !Resolve(host, budgetMs, &address)) return false;
  const DWORD spent = GetTickCount() - begin;
  if (spent >= budgetMs) return false;
  const DWORD left = budgetMs - spent;

  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return false;
  bool ok = false;
  unsigned long nonBlocking = 1;
  sockaddr_in target;
  memset(&target, 0, sizeof target);
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  target.sin_addr.s_addr = address;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) == 0) {
    const DWORD start = GetTickCount();
    int rc = connect(s, reinterpret_cast<sockaddr*>(&target), sizeof target);
    if (rc == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
      fd_set writable, failed;
      FD_ZERO(&writable);
      FD_ZERO(&failed);
      FD_SET(s, &writable);
      FD_SET(s, &failed);
      timeval wait;
      wait.tv_sec = static_cast<long>(left / 1000);
      wait.tv_usec = static_cast<long>((left % 1000) * 1000);
      rc = select(0, nullptr, &writable, &failed, &wait) > 0 && !FD_ISSET(s, &failed) &&
                   FD_ISSET(s, &writable)
               ? 0
               : SOCKET_ERROR;
      if (rc == 0) {
        // Linux reports a refusal as writable too: the socket's error tells.
        int error = 0;
        int length = sizeof error;
        if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 ||
            error != 0)
          rc = SOCKET_ERROR;
      }
    }
    if (rc == 0) {
      milliseconds = static_cast<int32_t>(GetTickCount() - start);
      ok = true;
    }
  }
  closesocket(s);
  return ok;
}
