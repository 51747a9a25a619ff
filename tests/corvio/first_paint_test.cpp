// The first paint's gate: work held while a paint is on its way, released once, and a
// worker's wait that a cancel or the time limit ends.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "corvio/download/cancel_token.h"
#include "corvio/runtime/first_paint.h"

using namespace corvio;

TEST(FirstPaint, HeldWorkRunsOnceAtTheFirstPaintAndLaterWorkAtOnce) {
  int ran = 0;
  AfterFirstPaint([&] { ++ran; });
  EXPECT_EQ(ran, 1) << "open before any dialog holds it";
  HoldUntilFirstPaint();
  AfterFirstPaint([&] { ran = ran * 10 + 2; });
  AfterFirstPaint([&] { ran = ran * 10 + 3; });
  EXPECT_EQ(ran, 1) << "held while the first paint is on its way";

  // A worker waiting at the gate is let go by a cancel, long before the time limit.
  CancelToken cancel;
  const auto start = std::chrono::steady_clock::now();
  std::thread worker([&] { WaitForFirstPaint(&cancel); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  cancel.Cancel();
  worker.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(ran, 1) << "a cancel opens nothing";

  FirstPaintDone();
  EXPECT_EQ(ran, 123) << "both held, in order, once";
  FirstPaintDone();
  HoldUntilFirstPaint();  // only the process's first paint is waited for
  AfterFirstPaint([&] { ran += 1000; });
  EXPECT_EQ(ran, 1123);
  WaitForFirstPaint(nullptr);  // open: returns at once
}
