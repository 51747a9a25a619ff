// Sockets on 127.0.0.1 for the tests that talk HTTP over loopback, written once for both
// systems.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#endif

#ifdef _WIN32
using Socket = SOCKET;
const Socket kNoSocket = INVALID_SOCKET;
inline void CloseSocket(Socket s) { closesocket(s); }
constexpr int kSendFlags = 0;
inline void SetSocketTimeouts(Socket s, int ms) {
  DWORD value = static_cast<DWORD>(ms);
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&value), sizeof value);
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&value), sizeof value);
}
#else
using Socket = int;
const Socket kNoSocket = -1;
inline void CloseSocket(Socket s) { close(s); }
constexpr int kSendFlags = MSG_NOSIGNAL;
inline void SetSocketTimeouts(Socket s, int ms) {
  timeval value = {ms / 1000, (ms % 1000) * 1000};
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &value, sizeof value);
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &value, sizeof value);
}
#endif

// The test's sockets, Winsock started for the lifetime of the object on Windows.
struct SocketLibrary {
  SocketLibrary() {
#ifdef _WIN32
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
#endif
  }
  ~SocketLibrary() {
#ifdef _WIN32
    WSACleanup();
#endif
  }
};

// Binds `s` to a free port on 127.0.0.1 and gives that port, or 0 when it cannot.
inline int BindLoopback(Socket s) {
  sockaddr_in addr = {};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return 0;
  socklen_t len = sizeof addr;
  if (getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
  return ntohs(addr.sin_port);
}

// A loopback port on which nothing listens (bound, then released).
inline int UnusedLoopbackPort() {
  SocketLibrary sockets;
  const Socket s = socket(AF_INET, SOCK_STREAM, 0);
  const int port = BindLoopback(s);
  CloseSocket(s);
  return port;
}
