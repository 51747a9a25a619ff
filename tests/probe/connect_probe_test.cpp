// The game address of the handshake measure split into host and port; the handshakes
// themselves are measured end to end (tests/e2e/latency_e2e_test.cpp).
#include <gtest/gtest.h>

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

}  // namespace
