// ICMP echo through the built-in ICMP.DLL: loopback replies and their times against the
// system's ping, the reply buffer size rule, handles, and a silent host in a namespace.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32.h"
#include "tests/platform/platform_test_hooks.h"
#include "tests/platform/test_netns.h"

namespace {

constexpr WORD kPayload = 64;
constexpr DWORD kReplySize = sizeof(ICMP_ECHO_REPLY) + kPayload + 8;

IPAddr Address(const char* text) { return inet_addr(text); }

// Bytes behind the reply buffer the call was given; any change there is a write past its size.
constexpr size_t kGuard = 16;
constexpr unsigned char kSentinel = 0xCD;

struct Echo {
  DWORD replies = 0;
  DWORD error = 0;
  ICMP_ECHO_REPLY record{};
  std::vector<unsigned char> buffer;
  bool guardIntact = false;
};

Echo SendEcho(const char* target, DWORD replySize = kReplySize, DWORD timeout = 1000) {
  Echo echo;
  HANDLE icmp = IcmpCreateFile();
  if (icmp == INVALID_HANDLE_VALUE) {
    echo.error = GetLastError();
    return echo;
  }
  unsigned char request[kPayload];
  memset(request, 0xAA, sizeof request);
  echo.buffer.assign(replySize + kGuard, kSentinel);
  SetLastError(0);
  echo.replies = IcmpSendEcho(icmp, Address(target), request, kPayload, nullptr,
                              echo.buffer.data(), replySize, timeout);
  echo.error = GetLastError();
  echo.guardIntact = true;
  for (size_t i = replySize; i < echo.buffer.size(); ++i) {
    echo.guardIntact = echo.guardIntact && echo.buffer[i] == kSentinel;
  }
  // A buffer smaller than the record holds no record to read.
  if (replySize >= sizeof echo.record) memcpy(&echo.record, echo.buffer.data(), sizeof echo.record);
  IcmpCloseHandle(icmp);
  return echo;
}

TEST(IcmpEcho, loopback_addresses_answer_within_a_few_milliseconds) {
  const char* targets[] = {"127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.9", "127.1.2.3"};
  for (size_t row = 0; row < sizeof targets / sizeof targets[0]; ++row) {
    Echo echo = SendEcho(targets[row]);
    ASSERT_EQ(echo.replies, 1u) << "row " << row << " error " << echo.error;
    EXPECT_EQ(echo.record.Status, IP_SUCCESS) << "row " << row;
    EXPECT_EQ(echo.record.Address, Address(targets[row])) << "row " << row;
    EXPECT_LE(echo.record.RoundTripTime, 50u) << "row " << row;
    EXPECT_EQ(echo.record.DataSize, kPayload) << "row " << row;
    // The echoed data sits right behind the record, inside the caller's buffer.
    const unsigned char* data = static_cast<const unsigned char*>(echo.record.Data);
    ASSERT_EQ(data, echo.buffer.data() + sizeof(ICMP_ECHO_REPLY)) << "row " << row;
    for (int i = 0; i < kPayload; ++i) ASSERT_EQ(data[i], 0xAA) << "row " << row << " byte " << i;
  }
}

// The system's ping prints "time=0.123 ms"; its whole milliseconds must match ours.
bool SystemPingMs(double* ms) {
  FILE* pipe = popen("ping -n -c1 -W1 127.0.0.1 2>/dev/null", "r");
  if (!pipe) return false;
  char line[512];
  bool found = false;
  while (fgets(line, sizeof line, pipe)) {
    if (const char* t = strstr(line, "time=")) {
      *ms = atof(t + 5);
      found = true;
    }
  }
  pclose(pipe);
  return found;
}

TEST(IcmpEcho, round_trip_time_agrees_with_the_system_ping) {
  double ping = 0;
  if (!SystemPingMs(&ping)) GTEST_SKIP() << "the system's ping is not available";
  Echo echo = SendEcho("127.0.0.1");
  ASSERT_EQ(echo.replies, 1u);
  double ours = echo.record.RoundTripTime;
  EXPECT_LE(ours, ping + 1.0) << "ping said " << ping << " ms";
  EXPECT_GE(ours + 1.0, ping) << "ping said " << ping << " ms";
}

TEST(IcmpEcho, reply_buffer_must_hold_the_record_and_the_data) {
  struct Row {
    DWORD size;
    DWORD replies;
  } rows[] = {
      {sizeof(ICMP_ECHO_REPLY) + kPayload - 1, 0},
      {sizeof(ICMP_ECHO_REPLY), 0},
      {0, 0},
      {sizeof(ICMP_ECHO_REPLY) + kPayload, 1},
      {sizeof(ICMP_ECHO_REPLY) + kPayload + 8, 1},
      {4096, 1},
  };
  for (size_t row = 0; row < sizeof rows / sizeof rows[0]; ++row) {
    Echo echo = SendEcho("127.0.0.1", rows[row].size);
    EXPECT_EQ(echo.replies, rows[row].replies) << "row " << row;
    EXPECT_TRUE(echo.guardIntact) << "row " << row << ": written past the reply buffer";
    if (rows[row].replies == 0) {
      EXPECT_EQ(echo.error, IP_BUF_TOO_SMALL) << "row " << row;
    }
  }
}

// Windows refuses 0.0.0.0 with ERROR_INVALID_NETNAME before sending; broadcast and
// multicast alike. A send would wait for the time-out or answer from this machine.
TEST(IcmpEcho, destinations_that_name_no_single_host_fail_as_on_windows_without_sending) {
  for (const char* target : {"0.0.0.0", "255.255.255.255", "224.0.0.1", "239.255.255.250"}) {
    Echo echo = SendEcho(target, kReplySize, 5000);
    EXPECT_EQ(echo.replies, 0u) << target;
    EXPECT_EQ(echo.error, ERROR_INVALID_NETNAME) << target;
  }
}

TEST(IcmpEcho, unknown_handles_are_refused) {
  unsigned char request[8] = {};
  unsigned char reply[128] = {};
  SetLastError(0);
  EXPECT_EQ(IcmpSendEcho(reinterpret_cast<HANDLE>(77), Address("127.0.0.1"), request, 8, nullptr,
                         reply, sizeof reply, 100),
            0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  HANDLE icmp = IcmpCreateFile();
  ASSERT_NE(icmp, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(IcmpCloseHandle(icmp));
  EXPECT_FALSE(IcmpCloseHandle(icmp));
}

TEST(IcmpEcho, module_serves_the_three_entry_points_by_exact_name) {
  HMODULE module = LoadLibraryA("ICMP.DLL");
  ASSERT_NE(module, nullptr);
  EXPECT_NE(GetProcAddress(module, "IcmpCreateFile"), nullptr);
  EXPECT_NE(GetProcAddress(module, "IcmpCloseHandle"), nullptr);
  EXPECT_NE(GetProcAddress(module, "IcmpSendEcho"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "icmpsendecho"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "IcmpSendEcho2"), nullptr);
  FreeLibrary(module);
  HMODULE lower = LoadLibraryA("icmp");
  EXPECT_NE(lower, nullptr);
  if (lower) FreeLibrary(lower);
}

TEST(IcmpEcho, concurrent_echoes_each_get_their_own_reply) {
  constexpr int kThreads = 20;
  std::vector<Echo> results(kThreads);
  std::vector<std::thread> threads;
  std::vector<std::string> targets;
  for (int i = 0; i < kThreads; ++i) targets.push_back("127.0.0." + std::to_string(i + 1));
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] { results[i] = SendEcho(targets[i].c_str()); });
  }
  for (auto& t : threads) t.join();
  for (int i = 0; i < kThreads; ++i) {
    EXPECT_EQ(results[i].replies, 1u) << "thread " << i;
    EXPECT_EQ(results[i].record.Address, Address(targets[i].c_str())) << "thread " << i;
  }
}

TEST(IcmpEcho, raw_socket_path_answers_on_loopback) {
  PlatformForceIcmpSocketKind(2);
  Echo echo = SendEcho("127.0.0.1");
  PlatformForceIcmpSocketKind(0);
  if (echo.replies == 0 && echo.error == ERROR_ACCESS_DENIED) GTEST_SKIP() << "no CAP_NET_RAW here";
  EXPECT_EQ(echo.replies, 1u);
  EXPECT_LE(echo.record.RoundTripTime, 50u);
}

TEST(IcmpEcho, datagram_socket_is_refused_where_the_range_admits_nobody) {
  FILE* f = fopen("/proc/sys/net/ipv4/ping_group_range", "r");
  unsigned low = 0, high = 0;
  bool read = f && fscanf(f, "%u %u", &low, &high) == 2;
  if (f) fclose(f);
  if (!read || low <= high) GTEST_SKIP() << "this system's ping_group_range admits some group";
  PlatformForceIcmpSocketKind(1);
  SetLastError(0);
  HANDLE icmp = IcmpCreateFile();
  DWORD error = GetLastError();
  PlatformForceIcmpSocketKind(0);
  EXPECT_EQ(icmp, INVALID_HANDLE_VALUE);
  EXPECT_EQ(error, ERROR_ACCESS_DENIED);
}

// The datagram socket needs the caller's group inside net.ipv4.ping_group_range; the test
// namespace opens the range for itself, so this path is tried even where the host's
// range admits nobody.
TEST(IcmpEchoNamespace, datagram_socket_path_answers_where_the_ping_group_range_allows) {
  TestNetns netns;
  std::string why;
  if (!netns.Create(&why)) GTEST_SKIP() << why;
  if (!netns.OpenPingGroupRange()) GTEST_SKIP() << "cannot set ping_group_range in the test namespace";
  Echo remote, local;
  bool entered = false;
  std::thread prober([&] {
    entered = netns.EnterProber();
    if (!entered) return;
    PlatformForceIcmpSocketKind(1);
    remote = SendEcho(TestNetns::kAnswering);
    local = SendEcho("127.0.0.1");
    PlatformForceIcmpSocketKind(0);
  });
  prober.join();
  ASSERT_TRUE(entered) << "could not enter the test namespace";
  EXPECT_EQ(remote.replies, 1u) << "error " << remote.error;
  EXPECT_EQ(remote.record.Address, Address(TestNetns::kAnswering));
  EXPECT_EQ(local.replies, 1u) << "error " << local.error;
  EXPECT_EQ(local.record.DataSize, kPayload);
}

TEST(IcmpEchoNamespace, silent_host_times_out_after_the_time_out) {
  TestNetns netns;
  std::string why;
  if (!netns.Create(&why)) GTEST_SKIP() << why;
  Echo answering, silent;
  double silentSeconds = 0;
  bool entered = false;
  std::thread prober([&] {
    entered = netns.EnterProber();
    if (!entered) return;
    answering = SendEcho(TestNetns::kAnswering);
    auto start = std::chrono::steady_clock::now();
    silent = SendEcho(TestNetns::kSilent);
    silentSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  });
  prober.join();
  ASSERT_TRUE(entered) << "could not enter the test namespace";
  EXPECT_EQ(answering.replies, 1u) << "the namespace's answering host must reply";
  EXPECT_EQ(silent.replies, 0u);
  EXPECT_EQ(silent.error, IP_REQ_TIMED_OUT);
  EXPECT_GE(silentSeconds, 0.95);
  EXPECT_LT(silentSeconds, 3.0);
}

}  // namespace
