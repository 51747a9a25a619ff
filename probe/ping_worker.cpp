// The ping worker: resolves the district's ping address, sends one ICMP echo through
// ICMP.DLL and, when no echo answers, times a handshake with the game address; stores
// the time, or LatencyFailed when neither answered.
#include "probe/ping_worker.h"

#include <string.h>

#include <memory>

#include "probe/connect_probe.h"
#include "probe/probe_ticket.h"

namespace {

constexpr WORD kPayloadSize = 64;
constexpr BYTE kPayloadByte = 0xAA;
constexpr DWORD kTimeoutMs = 1000;
// Room for one reply record of this process (28 bytes in 32-bit, 40 in 64-bit code),
// the echoed payload and the 8 bytes of an ICMP error header.
constexpr DWORD kReplySize = sizeof(ICMP_ECHO_REPLY) + kPayloadSize + 8;

typedef HANDLE(WINAPI* IcmpCreateFileFn)(void);
typedef BOOL(WINAPI* IcmpCloseHandleFn)(HANDLE);
typedef DWORD(WINAPI* IcmpSendEchoFn)(HANDLE, IPAddr, LPVOID, WORD, PIP_OPTION_INFORMATION,
                                      LPVOID, DWORD, DWORD);

template <typename F>
F EntryPoint(HMODULE module, const char* name) {
  // GetProcAddress hands out a generic function pointer; this is its real type.
  return reinterpret_cast<F>(reinterpret_cast<void (*)(void)>(GetProcAddress(module, name)));
}

// A dotted address or a host name: letters, digits, '.', '-' and '_' only. Anything else
// (empty, blanks, control characters) cannot name a host to probe; an empty name would
// make the look-up answer with this machine, which must never read as a fast district.
bool IsProbeAddress(const char* address) {
  if (!address || !*address) return false;
  for (const char* p = address; *p; ++p) {
    const char c = *p;
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '-' || c == '_';
    if (!ok) return false;
  }
  return true;
}

}  // namespace

bool SendIcmpEcho(const char* address, int32_t& milliseconds) {
  if (!IsProbeAddress(address)) return false;
  HMODULE library = LoadLibraryA("ICMP.DLL");
  if (!library) return false;
  bool ok = false;
  hostent* host = gethostbyname(address);
  IcmpCreateFileFn createFile = EntryPoint<IcmpCreateFileFn>(library, "IcmpCreateFile");
  IcmpCloseHandleFn closeHandle = EntryPoint<IcmpCloseHandleFn>(library, "IcmpCloseHandle");
  IcmpSendEchoFn sendEcho = EntryPoint<IcmpSendEchoFn>(library, "IcmpSendEcho");
  if (host && host->h_addr_list && host->h_addr_list[0] && host->h_length == 4 && createFile &&
      closeHandle && sendEcho) {
    IPAddr target;
    memcpy(&target, host->h_addr_list[0], sizeof target);
    HANDLE icmp = createFile();
    if (icmp != INVALID_HANDLE_VALUE) {
      BYTE request[kPayloadSize];
      memset(request, kPayloadByte, sizeof request);
      void* reply = GlobalAlloc(GPTR, kReplySize);
      if (reply) {
        DWORD replies = sendEcho(icmp, target, request, kPayloadSize, nullptr, reply,
                                 kReplySize, kTimeoutMs);
        if (replies != 0) {
          // The reply's Status is not consulted: a reported reply counts with its time.
          milliseconds = static_cast<int32_t>(static_cast<const ICMP_ECHO_REPLY*>(reply)->RoundTripTime);
          ok = true;
        }
        GlobalFree(reply);
      }
      closeHandle(icmp);
    }
  }
  FreeLibrary(library);
  return ok;
}

bool PingHost(const char* address, int32_t& milliseconds) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return false;
  milliseconds = 0;
  bool ok = SendIcmpEcho(address, milliseconds);
  WSACleanup();
  return ok;
}

DWORD WINAPI PingWorker(LPVOID parameter) {
  if (!parameter) return 0;
  std::unique_ptr<ProbeTicket> ticket(static_cast<ProbeTicket*>(parameter));
  char address[sizeof ticket->address];
  memcpy(address, ticket->address, sizeof address);
  int32_t milliseconds = 0;
  bool ok = PingHost(address, milliseconds);
  WSADATA data;
  if (!ok && ticket->gamePort != 0 && WSAStartup(MAKEWORD(2, 2), &data) == 0) {
    ok = MeasureConnect(ticket->gameHost, ticket->gamePort, kConnectBudgetMs, milliseconds);
    WSACleanup();
  }
  StoreProbeResult(*ticket, ok ? milliseconds : LatencyFailed);
  return 0;
}
