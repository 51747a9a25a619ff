// The ping worker against real hosts on loopback: echo times, unresolvable addresses and
// those that name no host, the address copied at the start, and 40 workers at once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "probe/ping_worker.h"
#include "probe/probe_round.h"
#include "tests/probe/probe_test_support.h"

namespace {

constexpr int32_t kLoopbackBound = 50;  // generous: loopback answers in well under 1 ms

// Each test probes in a round of its own; whatever happens, no worker writes into its
// records after the test.
class PingWorkerRound : public ::testing::Test {
 protected:
  void SetUp() override { BeginProbeRound(); }
  void TearDown() override { EndProbes(); }
};

TEST(PingHost, loopback_answers_with_a_small_echo_time) {
  int32_t ms = 12345;
  ASSERT_TRUE(PingHost("127.0.0.1", ms));
  EXPECT_GE(ms, 0);
  EXPECT_LE(ms, kLoopbackBound);
}

TEST(PingHost, unresolvable_name_fails_with_the_output_reset_to_zero) {
  int32_t ms = 12345;
  EXPECT_FALSE(PingHost("x.invalid", ms));
  EXPECT_EQ(ms, 0);
}

TEST(SendIcmpEcho, without_sockets_started_fails_and_leaves_the_output) {
  int32_t ms = 777;
  EXPECT_FALSE(SendIcmpEcho("127.0.0.1", ms));
  EXPECT_EQ(ms, 777);
}

TEST(SendIcmpEcho, failure_leaves_the_output_unchanged) {
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
  int32_t ms = 555;
  EXPECT_FALSE(SendIcmpEcho("x.invalid", ms));
  EXPECT_EQ(ms, 555);
  WSACleanup();
}

TEST_F(PingWorkerRound, null_ticket_returns_at_once) { EXPECT_EQ(PingWorker(nullptr), 0u); }

TEST_F(PingWorkerRound, loopback_addresses_store_their_echo_time) {
  const char* addresses[] = {"127.0.0.1", "127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.200"};
  std::vector<DistrictInfo> records;
  for (const char* a : addresses) records.push_back(ProbeRecord(a));
  for (auto& r : records) ASSERT_TRUE(StartPingWorker(&r));
  for (size_t row = 0; row < records.size(); ++row) {
    int32_t latency = AwaitLatency(records[row]);
    EXPECT_GE(latency, 0) << "row " << row;
    EXPECT_LE(latency, kLoopbackBound) << "row " << row;
  }
}

TEST_F(PingWorkerRound, unresolvable_address_stores_failed) {
  DistrictInfo record = ProbeRecord("x.invalid");
  ASSERT_TRUE(StartPingWorker(&record));
  EXPECT_EQ(AwaitLatency(record), LatencyFailed);
}

// None of these names one host: the probe fails, never measuring this machine instead.
TEST_F(PingWorkerRound, addresses_that_name_no_host_store_failed) {
  const char* rows[] = {"", " ", "127.0.0.1 x", "\t127.0.0.1", "0.0.0.0", "255.255.255.255", "224.0.0.1"};
  std::vector<DistrictInfo> records;
  for (const char* a : rows) records.push_back(ProbeRecord(a));
  for (auto& r : records) ASSERT_TRUE(StartPingWorker(&r));
  for (size_t row = 0; row < records.size(); ++row)
    EXPECT_EQ(AwaitLatency(records[row]), LatencyFailed) << "row " << row << " '" << rows[row] << "'";
}

TEST_F(PingWorkerRound, address_is_taken_when_the_worker_starts) {
  DistrictInfo record = ProbeRecord("127.0.0.1");
  ASSERT_TRUE(StartPingWorker(&record));
  strcpy(record.pinpip, "x.invalid");  // a later change of the text is not seen
  int32_t latency = AwaitLatency(record);
  EXPECT_GE(latency, 0);
  EXPECT_LE(latency, kLoopbackBound);
}

TEST_F(PingWorkerRound, forty_workers_at_once_all_finish) {
  std::vector<DistrictInfo> records;
  for (int i = 1; i <= 40; ++i) records.push_back(ProbeRecord(("127.0.0." + std::to_string(i)).c_str()));
  for (auto& r : records) ASSERT_TRUE(StartPingWorker(&r));
  for (size_t row = 0; row < records.size(); ++row) {
    int32_t latency = AwaitLatency(records[row], 10000);
    EXPECT_GE(latency, 0) << "worker " << row;
    EXPECT_LE(latency, kLoopbackBound) << "worker " << row;
  }
  DWORD start = GetTickCount();
  while (PingWorkersRunning() > 0 && GetTickCount() - start < 5000) Sleep(5);
  EXPECT_EQ(PingWorkersRunning(), 0);
}

}  // namespace
