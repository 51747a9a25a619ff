// Probe rounds and the worker's failure paths, with a stand-in ICMP.DLL: late results of
// an earlier round are dropped, nothing is written after EndProbes, every failure stores
// LatencyFailed, and a silent host in a test namespace times out after one second.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "tests/platform/platform_test_hooks.h"
#include "probe/ping_worker.h"
#include "probe/probe_round.h"
#include "tests/platform/test_netns.h"
#include "tests/probe/fake_icmp_module.h"
#include "tests/probe/probe_test_support.h"

namespace {

void AwaitWorkersDone() {
  DWORD start = GetTickCount();
  while (PingWorkersRunning() > 0 && GetTickCount() - start < 10000) Sleep(2);
}

class ProbeRound : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeIcmp::Install();
    BeginProbeRound();
  }
  void TearDown() override {
    FakeIcmp::Get().Release();
    EndProbes();
    AwaitWorkersDone();
    FakeIcmp::Restore();
    PlatformHideBuiltinModule("ICMP.DLL", 0);
    PlatformFailThreadCreation(0);
  }
};

TEST_F(ProbeRound, echo_is_sent_as_the_worker_describes) {
  DistrictInfo record = ProbeRecord("127.0.0.1");
  ASSERT_TRUE(StartPingWorker(&record));
  EXPECT_EQ(AwaitLatency(record), 7);
  FakeIcmp& f = FakeIcmp::Get();
  EXPECT_EQ(f.sends.load(), 1);
  EXPECT_EQ(f.requestSize.load(), 64);
  EXPECT_TRUE(f.requestAllAA.load());
  EXPECT_EQ(f.replySize.load(), sizeof(ICMP_ECHO_REPLY) + 64 + 8);
  EXPECT_TRUE(f.replyZeroed.load());
  EXPECT_TRUE(f.optionsNull.load());
  EXPECT_EQ(f.timeout.load(), 1000u);
  AwaitWorkersDone();
  EXPECT_EQ(f.closes.load(), 1);
}

TEST_F(ProbeRound, reply_with_a_failure_status_still_counts) {
  FakeIcmp::Get().status = IP_DEST_HOST_UNREACHABLE;
  FakeIcmp::Get().roundTrip = 23;
  DistrictInfo record = ProbeRecord("127.0.0.1");
  ASSERT_TRUE(StartPingWorker(&record));
  EXPECT_EQ(AwaitLatency(record), 23);
}

TEST_F(ProbeRound, each_failure_of_the_probe_stores_failed) {
  struct Row {
    const char* what;
    void (*arrange)(FakeIcmp&);
  } rows[] = {
      {"no reply", [](FakeIcmp& f) { f.replies = 0; }},
      {"IcmpCreateFile missing", [](FakeIcmp& f) { f.omitCreate = true; }},
      {"IcmpCloseHandle missing", [](FakeIcmp& f) { f.omitClose = true; }},
      {"IcmpSendEcho missing", [](FakeIcmp& f) { f.omitSend = true; }},
      {"handle not opened", [](FakeIcmp& f) { f.createFails = true; }},
  };
  for (size_t row = 0; row < sizeof rows / sizeof rows[0]; ++row) {
    FakeIcmp::Get().Reset();
    rows[row].arrange(FakeIcmp::Get());
    DistrictInfo record = ProbeRecord("127.0.0.1");
    ASSERT_TRUE(StartPingWorker(&record)) << rows[row].what;
    EXPECT_EQ(AwaitLatency(record), LatencyFailed) << "row " << row << ": " << rows[row].what;
    AwaitWorkersDone();
  }
}

TEST_F(ProbeRound, hidden_icmp_module_stores_failed) {
  PlatformHideBuiltinModule("ICMP.DLL", 1);
  DistrictInfo record = ProbeRecord("127.0.0.1");
  ASSERT_TRUE(StartPingWorker(&record));
  EXPECT_EQ(AwaitLatency(record), LatencyFailed);
  int32_t ms = 99;
  EXPECT_FALSE(PingHost("127.0.0.1", ms));
  EXPECT_EQ(ms, 0);
}

TEST_F(ProbeRound, thread_that_cannot_be_created_is_reported_and_writes_nothing) {
  PlatformFailThreadCreation(1);
  DistrictInfo record = ProbeRecord("127.0.0.1");
  EXPECT_FALSE(StartPingWorker(&record));
  EXPECT_EQ(PingWorkersRunning(), 0);
  EXPECT_EQ(LoadLatency(record), LatencyPending);  // the caller stores LatencyFailed
  EXPECT_FALSE(StartPingWorker(nullptr));
}

TEST_F(ProbeRound, late_result_of_an_earlier_round_is_dropped) {
  FakeIcmp& f = FakeIcmp::Get();
  {
    std::lock_guard<std::mutex> lock(f.mutex);
    f.block = true;
  }
  DistrictInfo record = ProbeRecord("127.0.0.1");
  ASSERT_TRUE(StartPingWorker(&record));
  f.WaitEntered(1);
  BeginProbeRound();  // the parse refills the table
  record = ProbeRecord("127.0.0.2");
  f.Release();
  AwaitWorkersDone();
  EXPECT_EQ(PingWorkersRunning(), 0);
  EXPECT_EQ(LoadLatency(record), LatencyPending) << "the stale worker wrote into the refilled record";
  // A worker of the new round does write.
  ASSERT_TRUE(StartPingWorker(&record));
  EXPECT_EQ(AwaitLatency(record), 7);
}

TEST_F(ProbeRound, nothing_is_written_after_end_probes) {
  FakeIcmp& f = FakeIcmp::Get();
  {
    std::lock_guard<std::mutex> lock(f.mutex);
    f.block = true;
  }
  auto table = std::make_unique<DistrictTable>();
  memset(table.get(), 0, sizeof *table);
  for (int i = 1; i <= 3; ++i) {
    table->dxGroup[i] = ProbeRecord("127.0.0.1");
    ASSERT_TRUE(StartPingWorker(&table->dxGroup[i]));
  }
  f.WaitEntered(3);
  EndProbes();  // the launcher object is about to go away
  f.Release();
  AwaitWorkersDone();
  EXPECT_EQ(PingWorkersRunning(), 0);
  EXPECT_EQ(f.sends.load(), 3);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(LoadLatency(table->dxGroup[i]), LatencyPending) << "record " << i << " written";
  }
}

TEST_F(ProbeRound, silent_host_gives_failed_after_about_one_second) {
  FakeIcmp::Restore();  // the real echo
  TestNetns netns;
  std::string why;
  if (!netns.Create(&why)) GTEST_SKIP() << why;
  DistrictInfo silent = ProbeRecord(TestNetns::kSilent);
  DistrictInfo answering = ProbeRecord(TestNetns::kAnswering);
  bool entered = false;
  // Workers are created from a thread inside the namespace and start in it too.
  std::thread starter([&] {
    entered = netns.EnterProber();
    if (!entered) return;
    StartPingWorker(&silent);
    StartPingWorker(&answering);
  });
  starter.join();
  ASSERT_TRUE(entered) << "could not enter the test namespace";
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(AwaitLatency(silent, 5000), LatencyFailed);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(seconds, 0.9);
  EXPECT_LT(seconds, 3.0);
  int32_t latency = AwaitLatency(answering);
  EXPECT_GE(latency, 0);
  EXPECT_LE(latency, 50);
}

}  // namespace
