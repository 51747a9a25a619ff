// The built-in module "ICMP.DLL": one ICMP echo per IcmpSendEcho, over an unprivileged
// ICMP datagram socket where the system allows it, else over a raw socket.
#include <errno.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <vector>

#include "platform/linux/builtin_modules.h"
#include "platform/win32.h"

namespace {

constexpr DWORD kIpDestNetUnreachable = 11002;

enum class SocketKind { Datagram, Raw };

// Never destroyed: probe threads may still run while the process exits.
struct IcmpTable {
  std::mutex mutex;
  std::map<uintptr_t, SocketKind> handles;
  uintptr_t next = 0x2000;
};

IcmpTable& Table() {
  static IcmpTable* table = new IcmpTable;
  return *table;
}

std::atomic<uint16_t> g_sequence{1};

int OpenSocket(SocketKind kind) {
  return kind == SocketKind::Datagram
             ? socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP)
             : socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
}

uint16_t Checksum(const uint8_t* data, size_t length) {
  uint32_t sum = 0;
  for (size_t i = 0; i + 1 < length; i += 2) sum += static_cast<uint32_t>(data[i] << 8 | data[i + 1]);
  if (length & 1) sum += static_cast<uint32_t>(data[length - 1] << 8);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return htons(static_cast<uint16_t>(~sum));
}

int64_t Nanoseconds(clockid_t clock) {
  timespec now;
  clock_gettime(clock, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

struct Reply {
  in_addr_t from = 0;
  uint8_t ttl = 0;
  int64_t roundTripNs = 0;
};

// One echo in flight: what was sent and when, for matching and timing its reply.
struct Echo {
  SocketKind kind;
  uint16_t identifier;
  uint16_t sequence;
  const uint8_t* payload;
  size_t payloadSize;
  int64_t sentReal = 0;
  int64_t sentMono = 0;
};

// The ICMP message inside a received packet: a raw socket hands over the IP header too
// (and with it the TTL), a datagram socket the ICMP message alone. False when cut short.
bool IcmpPart(const Echo& echo, const uint8_t* packet, size_t length, const uint8_t** icmp,
              size_t* icmpLength, uint8_t* ttl) {
  *icmp = packet;
  *icmpLength = length;
  if (echo.kind != SocketKind::Raw) return true;
  if (length < sizeof(iphdr)) return false;
  const iphdr* ip = reinterpret_cast<const iphdr*>(packet);
  const size_t headerLength = static_cast<size_t>(ip->ihl) * 4;
  if (headerLength < sizeof(iphdr) || length < headerLength) return false;
  *ttl = ip->ttl;
  *icmp = packet + headerLength;
  *icmpLength = length - headerLength;
  return true;
}

// Identifier (when the kernel does not match it for us), sequence and payload all equal.
bool IsReplyTo(const Echo& echo, const uint8_t* icmp, size_t length) {
  if (length != sizeof(icmphdr) + echo.payloadSize) return false;
  const icmphdr* header = reinterpret_cast<const icmphdr*>(icmp);
  if (header->type != ICMP_ECHOREPLY || header->code != 0) return false;
  if (ntohs(header->un.echo.sequence) != echo.sequence) return false;
  if (echo.kind == SocketKind::Raw && ntohs(header->un.echo.id) != echo.identifier) return false;
  return echo.payloadSize == 0 || memcmp(icmp + sizeof(icmphdr), echo.payload, echo.payloadSize) == 0;
}

// The kernel's receive stamp leaves out our own scheduling delay; the monotonic clock
// stands in when the stamp is missing or the wall clock was set meanwhile. A datagram
// socket gives the TTL here.
void ReadControlMessages(msghdr* message, const Echo& echo, int64_t receivedMono, Reply* reply) {
  const int64_t elapsedMono = receivedMono - echo.sentMono;
  int64_t elapsed = elapsedMono;
  for (cmsghdr* c = CMSG_FIRSTHDR(message); c; c = CMSG_NXTHDR(message, c)) {
    if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
      timespec stamp;
      memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
      int64_t kernel = static_cast<int64_t>(stamp.tv_sec) * 1000000000 + stamp.tv_nsec - echo.sentReal;
      if (kernel >= 0 && kernel <= elapsedMono + 1000000) elapsed = kernel;
    } else if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL) {
      int value;
      memcpy(&value, CMSG_DATA(c), sizeof value);
      reply->ttl = static_cast<uint8_t>(value);
    }
  }
  reply->roundTripNs = elapsed < 0 ? 0 : elapsed;
}

// Reads one packet; true when it is the echo reply to our request.
bool ReadMatchingReply(int fd, const Echo& echo, Reply* reply) {
  std::vector<uint8_t> packet(echo.payloadSize + 128);
  char control[256];
  sockaddr_in from{};
  iovec io{packet.data(), packet.size()};
  msghdr message{};
  message.msg_name = &from;
  message.msg_namelen = sizeof from;
  message.msg_iov = &io;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  ssize_t got = recvmsg(fd, &message, MSG_DONTWAIT);
  int64_t receivedMono = Nanoseconds(CLOCK_MONOTONIC);
  if (got <= 0) return false;

  const uint8_t* icmp = nullptr;
  size_t length = 0;
  Reply candidate;
  if (!IcmpPart(echo, packet.data(), static_cast<size_t>(got), &icmp, &length, &candidate.ttl)) return false;
  if (!IsReplyTo(echo, icmp, length)) return false;
  ReadControlMessages(&message, echo, receivedMono, &candidate);
  candidate.from = from.sin_addr.s_addr;
  *reply = candidate;
  return true;
}

// Time stamps with every packet; the TTL too where the socket does not hand over the IP
// header; the caller's TTL and TOS for what we send (0 keeps the system's).
void ConfigureSocket(int fd, SocketKind kind, const IP_OPTION_INFORMATION* options) {
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
  if (kind == SocketKind::Datagram) setsockopt(fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on);
  if (options) {
    int ttl = options->Ttl, tos = options->Tos;
    if (ttl) setsockopt(fd, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl);
    if (tos) setsockopt(fd, IPPROTO_IP, IP_TOS, &tos, sizeof tos);
  }
}

std::vector<uint8_t> EchoRequestPacket(const Echo& echo) {
  std::vector<uint8_t> request(sizeof(icmphdr) + echo.payloadSize);
  icmphdr* header = reinterpret_cast<icmphdr*>(request.data());
  header->type = ICMP_ECHO;
  header->code = 0;
  header->un.echo.id = htons(echo.identifier);  // the datagram socket puts in its own
  header->un.echo.sequence = htons(echo.sequence);
  if (echo.payloadSize) memcpy(request.data() + sizeof(icmphdr), echo.payload, echo.payloadSize);
  header->checksum = Checksum(request.data(), request.size());  // recomputed by the kernel for datagram sockets
  return request;
}

// Sends the request and notes when; 0, or the IP status of the failure.
DWORD SendRequest(int fd, IPAddr destination, Echo* echo) {
  const std::vector<uint8_t> request = EchoRequestPacket(*echo);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = destination;
  echo->sentReal = Nanoseconds(CLOCK_REALTIME);
  echo->sentMono = Nanoseconds(CLOCK_MONOTONIC);
  if (sendto(fd, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0) {
    return errno == ENETUNREACH ? kIpDestNetUnreachable
           : errno == EHOSTUNREACH ? IP_DEST_HOST_UNREACHABLE
                                   : IP_GENERAL_FAILURE;
  }
  return 0;
}

// Waits until the reply comes or `timeout` ms after sending have passed, other ICMP
// traffic ignored; 0, or the IP status of the failure.
DWORD AwaitReply(int fd, const Echo& echo, DWORD timeout, Reply* reply) {
  const int64_t deadline = echo.sentMono + static_cast<int64_t>(timeout) * 1000000;
  for (;;) {
    int64_t left = deadline - Nanoseconds(CLOCK_MONOTONIC);
    if (left <= 0) return IP_REQ_TIMED_OUT;
    pollfd wait{fd, POLLIN, 0};
    int ready = poll(&wait, 1, static_cast<int>((left + 999999) / 1000000));
    if (ready < 0 && errno != EINTR) return IP_GENERAL_FAILURE;
    if (ready > 0 && ReadMatchingReply(fd, echo, reply)) return 0;
  }
}

// The record, with the echoed data right behind it.
void WriteReplyRecord(const Echo& echo, const Reply& reply, LPVOID replyBuffer) {
  auto* record = static_cast<ICMP_ECHO_REPLY*>(replyBuffer);
  uint8_t* data = static_cast<uint8_t*>(replyBuffer) + sizeof(ICMP_ECHO_REPLY);
  memset(record, 0, sizeof *record);
  record->Address = reply.from;
  record->Status = IP_SUCCESS;
  record->RoundTripTime = static_cast<ULONG>(reply.roundTripNs / 1000000);
  record->DataSize = static_cast<USHORT>(echo.payloadSize);
  record->Data = data;
  record->Options.Ttl = reply.ttl;
  if (echo.payloadSize) memcpy(data, echo.payload, echo.payloadSize);
}

bool ValidHandle(HANDLE handle, SocketKind* kind) {
  IcmpTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.handles.find(reinterpret_cast<uintptr_t>(handle));
  if (it == table.handles.end()) return false;
  *kind = it->second;
  return true;
}

// 0.0.0.0, the limited broadcast and multicast (224.0.0.0/4) name no single host. Linux
// would send to them (0.0.0.0 reaching this machine itself); Windows refuses 0.0.0.0 with
// ERROR_INVALID_NETNAME before sending, and the other two are refused the same way here.
bool IsSingleHost(IPAddr destination) {
  const uint32_t host = ntohl(destination);
  return host != INADDR_ANY && host != INADDR_BROADCAST && (host >> 28) != 0xE;
}

class SocketCloser {
 public:
  explicit SocketCloser(int fd) : fd_(fd) {}
  ~SocketCloser() {
    if (fd_ >= 0) close(fd_);
  }

 private:
  int fd_;
};

}  // namespace

// Fails with ERROR_ACCESS_DENIED when neither kind of ICMP socket may be opened (no
// group in net.ipv4.ping_group_range and no CAP_NET_RAW).
extern "C" HANDLE IcmpCreateFile(void) {
  SocketKind kind = SocketKind::Datagram;
  int fd = OpenSocket(kind);
  if (fd < 0) {
    kind = SocketKind::Raw;
    fd = OpenSocket(kind);
  }
  if (fd < 0) {
    SetLastError(errno == EMFILE || errno == ENFILE || errno == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY
                                                                      : ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  close(fd);
  IcmpTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  uintptr_t value = table.next;
  table.next += 4;
  table.handles.emplace(value, kind);
  return reinterpret_cast<HANDLE>(value);
}

extern "C" BOOL IcmpCloseHandle(HANDLE handle) {
  IcmpTable& table = Table();
  std::lock_guard<std::mutex> lock(table.mutex);
  if (table.handles.erase(reinterpret_cast<uintptr_t>(handle)) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

// Sends one echo and waits up to `timeout` ms for its reply; other ICMP traffic is
// ignored. Returns the number of replies (1), or 0 with IP_REQ_TIMED_OUT. The reply
// buffer must hold the record and the echoed data (else IP_BUF_TOO_SMALL); the data is
// copied right behind the record. 0.0.0.0, 255.255.255.255 and multicast fail with
// ERROR_INVALID_NETNAME, nothing sent. RoundTripTime is whole milliseconds, so a reply within
// one millisecond reads 0.
extern "C" DWORD IcmpSendEcho(HANDLE handle, IPAddr destination, LPVOID requestData,
                              WORD requestSize, PIP_OPTION_INFORMATION options,
                              LPVOID replyBuffer, DWORD replySize, DWORD timeout) {
  SocketKind kind;
  if (!ValidHandle(handle, &kind)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if ((!requestData && requestSize > 0) || !replyBuffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (replySize < sizeof(ICMP_ECHO_REPLY) + requestSize) {
    SetLastError(IP_BUF_TOO_SMALL);
    return 0;
  }
  if (!IsSingleHost(destination)) {
    SetLastError(ERROR_INVALID_NETNAME);
    return 0;
  }
  int fd = OpenSocket(kind);
  if (fd < 0) {
    SetLastError(IP_GENERAL_FAILURE);
    return 0;
  }
  SocketCloser closer(fd);
  ConfigureSocket(fd, kind, options);

  Echo echo{kind, static_cast<uint16_t>(getpid() ^ 0x5A17), g_sequence.fetch_add(1),
            static_cast<const uint8_t*>(requestData), requestSize};
  Reply reply;
  DWORD status = SendRequest(fd, destination, &echo);
  if (status == 0) status = AwaitReply(fd, echo, timeout, &reply);
  if (status != 0) {
    SetLastError(status);
    return 0;
  }
  WriteReplyRecord(echo, reply, replyBuffer);
  return 1;
}

namespace {

template <typename F>
FARPROC AsFarProc(F* function) {
  // Through void(*)(void), the generic function pointer type, as GetProcAddress hands out.
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(function));
}

}  // namespace

// GetProcAddress names match exactly, as on Windows.
FARPROC PlatformIcmpLookup(const char* name) {
  if (!name) return nullptr;
  if (strcmp(name, "IcmpCreateFile") == 0) return AsFarProc(&IcmpCreateFile);
  if (strcmp(name, "IcmpCloseHandle") == 0) return AsFarProc(&IcmpCloseHandle);
  if (strcmp(name, "IcmpSendEcho") == 0) return AsFarProc(&IcmpSendEcho);
  return nullptr;
}
