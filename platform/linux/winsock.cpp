// Windows Sockets start-up, host-name resolution (IPv4) and the stream-socket calls of
// the probe.
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

#include "platform/win32.h"

// This file implements select; below the name means the system call.
#undef select

namespace {

constexpr DWORD kWsaHostNotFound = 11001;  // WSAHOST_NOT_FOUND
constexpr DWORD kWsaNoRecovery = 11003;    // WSANO_RECOVERY
constexpr int kWsaFault = 10014;           // WSAEFAULT
constexpr int kMaxAddresses = 35;          // what one Windows host entry holds

std::atomic<int> g_startups{0};

// The calling thread's host entry, valid until its next call.
struct HostEntry {
  hostent entry;
  char name[256];
  char* aliases[1];
  in_addr addresses[kMaxAddresses];
  char* addressList[kMaxAddresses + 1];
};
thread_local HostEntry t_host;

hostent* Fill(const char* name, const in_addr* addresses, int count) {
  HostEntry& h = t_host;
  memset(&h, 0, sizeof h);
  snprintf(h.name, sizeof h.name, "%s", name);  // bounded, always terminated
  for (int i = 0; i < count && i < kMaxAddresses; ++i) {
    h.addresses[i] = addresses[i];
    h.addressList[i] = reinterpret_cast<char*>(&h.addresses[i]);
  }
  h.entry.h_name = h.name;
  h.entry.h_aliases = h.aliases;
  h.entry.h_addrtype = AF_INET;
  h.entry.h_length = sizeof(in_addr);
  h.entry.h_addr_list = h.addressList;
  return &h.entry;
}

// Names under "invalid." never resolve (RFC 6761): answer at once, without a query.
bool IsInvalidName(const char* name) {
  size_t length = strlen(name);
  while (length > 0 && name[length - 1] == '.') --length;
  if (length == 7) return strncasecmp(name, "invalid", 7) == 0;
  return length > 8 && strncasecmp(name + length - 8, ".invalid", 8) == 0;
}

}  // namespace

// Any version from 1.0 up is accepted and served as at most 2.2; the description is
// informational. Every successful call needs its own WSACleanup.
extern "C" int WSAStartup(WORD version, LPWSADATA data) {
  if (!data) return kWsaFault;
  if (LOBYTE(version) < 1) return WSAVERNOTSUPPORTED;
  memset(data, 0, sizeof *data);
  WORD served = version;
  if (LOBYTE(version) > 2 || (LOBYTE(version) == 2 && HIBYTE(version) > 2)) served = MAKEWORD(2, 2);
  data->wVersion = served;
  data->wHighVersion = MAKEWORD(2, 2);
  strcpy(data->szDescription, "WinSock 2.0");
  strcpy(data->szSystemStatus, "Running");
  data->iMaxSockets = 32767;
  data->iMaxUdpDg = 65467;
  ++g_startups;
  return 0;
}

// More cleanups than start-ups fail with WSANOTINITIALISED.
extern "C" int WSACleanup(void) {
  int count = g_startups.load();
  while (count > 0 && !g_startups.compare_exchange_weak(count, count - 1)) {
  }
  if (count <= 0) {
    SetLastError(WSANOTINITIALISED);
    return -1;
  }
  return 0;
}

// Needs WSAStartup (WSANOTINITIALISED otherwise). The empty or null name is the local
// host; a dotted address comes back as it is, without a lookup. When the local host name
// has no address of its own, the loopback address stands for it.
extern "C" struct hostent* ZentGetHostByName(const char* name) {
  if (g_startups.load() <= 0) {
    SetLastError(WSANOTINITIALISED);
    return nullptr;
  }
  char local[256] = {};
  bool isLocal = !name || !*name;
  if (isLocal) {
    if (gethostname(local, sizeof local - 1) != 0 || !local[0]) strcpy(local, "localhost");
    name = local;
  }
  in_addr literal;
  if (inet_aton(name, &literal)) return Fill(name, &literal, 1);
  if (IsInvalidName(name)) {
    SetLastError(kWsaHostNotFound);
    return nullptr;
  }

  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;  // one entry per address
  hints.ai_flags = AI_CANONNAME;
  addrinfo* found = nullptr;
  int rc = getaddrinfo(name, nullptr, &hints, &found);
  if (rc != 0 || !found) {
    if (found) freeaddrinfo(found);
    if (isLocal) {
      in_addr loopback;
      loopback.s_addr = htonl(INADDR_LOOPBACK);
      return Fill(name, &loopback, 1);
    }
    SetLastError(rc == EAI_NONAME || rc == EAI_NODATA || rc == EAI_FAIL || rc == 0
                     ? kWsaHostNotFound
                     : kWsaNoRecovery);
    return nullptr;
  }
  in_addr addresses[kMaxAddresses];
  int count = 0;
  for (addrinfo* a = found; a && count < kMaxAddresses; a = a->ai_next) {
    if (a->ai_family != AF_INET) continue;
    in_addr address = reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr;
    bool duplicate = false;
    for (int i = 0; i < count; ++i) duplicate |= addresses[i].s_addr == address.s_addr;
    if (!duplicate) addresses[count++] = address;
  }
  hostent* entry = Fill(found->ai_canonname ? found->ai_canonname : name, addresses, count);
  freeaddrinfo(found);
  return entry;
}

extern "C" int closesocket(SOCKET socket) { return close(socket) == 0 ? 0 : SOCKET_ERROR; }

extern "C" int ioctlsocket(SOCKET socket, long command, unsigned long* argument) {
  if (command != static_cast<long>(FIONBIO) || !argument) {
    errno = EINVAL;
    return SOCKET_ERROR;
  }
  const int flags = fcntl(socket, F_GETFL);
  if (flags < 0) return SOCKET_ERROR;
  const int wanted = *argument ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  return fcntl(socket, F_SETFL, wanted) == 0 ? 0 : SOCKET_ERROR;
}

// The Windows code of the calling thread's last socket error.
extern "C" int WSAGetLastError(void) {
  switch (errno) {
    case EINPROGRESS:
    case EAGAIN:
      return WSAEWOULDBLOCK;
    case ECONNREFUSED:
      return WSAECONNREFUSED;
    case ETIMEDOUT:
      return WSAETIMEDOUT;
    default:
      return 10000 + errno;  // the Windows codes mirror the Berkeley ones from 10000 on
  }
}

// Windows takes the sets' own sizes and leaves the time-out as it was given.
extern "C" int ZentSelect(int, fd_set* readable, fd_set* writable, fd_set* failed,
                          const struct timeval* timeout) {
  timeval left;
  timeval* wait = nullptr;
  if (timeout) {
    left = *timeout;
    wait = &left;
  }
  int result;
  do {
    result = ::select(FD_SETSIZE, readable, writable, failed, wait);
  } while (result < 0 && errno == EINTR && wait);
  return result < 0 ? SOCKET_ERROR : result;
}

extern "C" int ZentGetSockOpt(SOCKET socket, int level, int name, char* value, int* length) {
  if (!length || *length < 0) {
    errno = EFAULT;
    return SOCKET_ERROR;
  }
  socklen_t size = static_cast<socklen_t>(*length);
  if (::getsockopt(socket, level, name, static_cast<void*>(value), &size) != 0) return SOCKET_ERROR;
  *length = static_cast<int>(size);
  return 0;
}
