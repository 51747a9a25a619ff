// The handshake measure: game addresses split into host and port, and handshakes with a
// listening, a refusing and an unnamed address on loopback, each inside its budget.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32.h"
#include "probe/connect_probe.h"

namespace {

TEST(SplitGameAddress, takes_host_and_port_and_refuses_what_names_no_endpoint) {
  const struct { const char* url; bool ok; const char* host; uint16_t port; } rows[] = {
      {"dx1.zent.example:7000", true, "dx1.zent.example", 7000},
      {"tcp://10.0.0.5:65535/login", true, "10.0.0.5", 65535},
      {"dx1.zent.example", false, "", 0},        // no port
      {"dx1.zent.example:", false, "", 0},
      {"dx1.zent.example:0", false, "", 0},
      {"dx1.zent.example:65536", false, "", 0},
      {"dx1.zent.example:70x", false, "", 0},
      {":7000", false, "", 0},
      {"bad host:7000", false, "", 0},
      {"host/path:7000", false, "", 0},          // the colon is past the host
      {"", false, "", 0},
  };
  for (const auto& row : rows) {
    char host[64] = "unchanged";
    uint16_t port = 1;
    EXPECT_EQ(SplitGameAddress(row.url, host, sizeof host, &port), row.ok) << row.url;
    EXPECT_STREQ(host, row.ok ? row.host : "unchanged") << row.url;
    EXPECT_EQ(port, row.ok ? row.port : 1) << row.url;
  }
  char tiny[4];
  uint16_t port = 0;
  EXPECT_FALSE(SplitGameAddress("longhost:80", tiny, sizeof tiny, &port)) << "host cut to the buffer";
}

// A listening socket on 127.0.0.1 and the port it got.
SOCKET Listen(uint16_t* port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof at;
  if (s == INVALID_SOCKET || bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(s, 4) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&at), &length) != 0)
    return INVALID_SOCKET;
  *port = ntohs(at.sin_port);
  return s;
}

TEST(MeasureConnect, a_listener_answers_and_refusals_and_unknown_names_fail_in_time) {
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
  uint16_t open = 0, closed = 0;
  SOCKET listener = Listen(&open);
  SOCKET gone = Listen(&closed);
  ASSERT_NE(listener, INVALID_SOCKET);
  ASSERT_NE(gone, INVALID_SOCKET);
  closesocket(gone);  // its port now refuses
  const struct { const char* host; uint16_t port; bool ok; } rows[] = {
      {"127.0.0.1", open, true}, {"localhost", open, true}, {"127.0.0.1", closed, false},
      {"nothing.invalid", open, false}, {"", open, false},
  };
  for (const auto& row : rows) {
    int32_t ms = -7;
    const DWORD start = GetTickCount();
    EXPECT_EQ(MeasureConnect(row.host, row.port, kConnectBudgetMs, ms), row.ok) << row.host << ":" << row.port;
    EXPECT_LE(GetTickCount() - start, kConnectBudgetMs + 200) << row.host;
    if (row.ok) EXPECT_TRUE(ms >= 0 && ms < 100) << ms;
    else EXPECT_EQ(ms, -7) << "a failure leaves the time alone";
  }
  closesocket(listener);
  WSACleanup();
}

}  // namespace
