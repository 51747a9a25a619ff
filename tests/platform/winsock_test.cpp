// Windows Sockets start-up and host-name resolution: versions, the start-up count, the
// empty name as the local host, dotted addresses, unresolvable names, per-thread results.
#include <gtest/gtest.h>
#include <netdb.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/win32.h"

namespace {

std::string AddressText(const hostent* entry, int index = 0) {
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, entry->h_addr_list[index], text, sizeof text);
  return text;
}

class Winsock : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data_), 0); }
  void TearDown() override { EXPECT_EQ(WSACleanup(), 0); }
  WSADATA data_;
};

TEST(WinsockStartup, version_1_1_is_served_as_asked_and_0_x_refused) {
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  EXPECT_EQ(data.wVersion, MAKEWORD(1, 1));
  EXPECT_EQ(data.wHighVersion, MAKEWORD(2, 2));
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_EQ(WSAStartup(MAKEWORD(0, 9), &data), WSAVERNOTSUPPORTED);
  ASSERT_EQ(WSAStartup(MAKEWORD(3, 0), &data), 0);
  EXPECT_EQ(data.wVersion, MAKEWORD(2, 2));
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_NE(WSAStartup(MAKEWORD(1, 1), nullptr), 0);
}

TEST(WinsockStartup, cleanup_beyond_the_start_ups_fails_with_not_initialised) {
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_EQ(WSACleanup(), 0);
  SetLastError(0);
  EXPECT_EQ(WSACleanup(), -1);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(WSANOTINITIALISED));
}

TEST(WinsockStartup, resolution_without_start_up_fails) {
  SetLastError(0);
  EXPECT_EQ(gethostbyname("127.0.0.1"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(WSANOTINITIALISED));
}

TEST_F(Winsock, dotted_addresses_come_back_as_they_are) {
  const char* cases[] = {"127.0.0.1", "127.0.0.5", "10.1.2.3", "192.0.2.200"};
  for (size_t row = 0; row < sizeof cases / sizeof cases[0]; ++row) {
    hostent* entry = gethostbyname(cases[row]);
    ASSERT_NE(entry, nullptr) << "row " << row;
    EXPECT_EQ(entry->h_addrtype, AF_INET) << "row " << row;
    EXPECT_EQ(entry->h_length, 4) << "row " << row;
    EXPECT_EQ(AddressText(entry), cases[row]) << "row " << row;
    EXPECT_EQ(entry->h_addr_list[1], nullptr) << "row " << row;
  }
}

TEST_F(Winsock, empty_and_null_names_resolve_the_local_host) {
  char name[256] = {};
  ASSERT_EQ(gethostname(name, sizeof name - 1), 0);
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  std::string expected = "127.0.0.1";  // a host name without an address stands for loopback
  if (getaddrinfo(name, nullptr, &hints, &found) == 0 && found) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr, text, sizeof text);
    expected = text;
    freeaddrinfo(found);
  }
  hostent* entry = gethostbyname("");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(AddressText(entry), expected);
  entry = gethostbyname(nullptr);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(AddressText(entry), expected);
}

TEST_F(Winsock, localhost_resolves_to_loopback) {
  hostent* entry = gethostbyname("localhost");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(AddressText(entry).rfind("127.", 0), 0u) << AddressText(entry);
}

TEST_F(Winsock, invalid_names_fail_at_once_with_host_not_found) {
  const char* cases[] = {"x.invalid", "X.INVALID.", "invalid", "a.b.invalid"};
  for (size_t row = 0; row < sizeof cases / sizeof cases[0]; ++row) {
    SetLastError(0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(gethostbyname(cases[row]), nullptr) << "row " << row;
    EXPECT_EQ(GetLastError(), 11001u) << "row " << row;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << "row " << row;
  }
}

TEST_F(Winsock, each_thread_keeps_its_own_entry) {
  hostent* mine = gethostbyname("127.0.0.7");
  ASSERT_NE(mine, nullptr);
  std::string other;
  std::thread thread([&] { other = AddressText(gethostbyname("127.0.0.8")); });
  thread.join();
  EXPECT_EQ(other, "127.0.0.8");
  EXPECT_EQ(AddressText(mine), "127.0.0.7");
}

}  // namespace
