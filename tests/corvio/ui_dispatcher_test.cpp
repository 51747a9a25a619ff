// The UI-thread dispatcher: work posted from other threads runs in the owner's message
// loop, in order, and nothing runs after the dispatcher is gone.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "corvio/runtime/ui_dispatcher.h"
#include "platform/win32.h"
#include "tests/corvio/message_pump.h"

namespace {

TEST(UiDispatcher, work_from_a_worker_runs_on_the_owner_thread) {
  corvio::UiDispatcher dispatcher;
  EXPECT_EQ(dispatcher.OwnerThreadId(), static_cast<unsigned long>(GetCurrentThreadId()));
  std::atomic<DWORD> ranOn{0};
  std::thread worker([&] {
    EXPECT_TRUE(dispatcher.Post([&] { ranOn = GetCurrentThreadId(); }));
  });
  worker.join();
  EXPECT_EQ(ranOn.load(), 0u);  // nothing runs before the loop serves it
  ASSERT_TRUE(PumpUntil([&] { return ranOn.load() != 0; }, 10000));
  EXPECT_EQ(ranOn.load(), GetCurrentThreadId());
}

TEST(UiDispatcher, work_runs_in_the_order_posted) {
  corvio::UiDispatcher dispatcher;
  std::vector<int> order;
  std::thread worker([&] {
    for (int i = 0; i < 50; ++i) dispatcher.Post([&order, i] { order.push_back(i); });
  });
  worker.join();
  ASSERT_TRUE(PumpUntil([&] { return order.size() == 50; }, 10000));
  for (int i = 0; i < 50; ++i) EXPECT_EQ(order[static_cast<size_t>(i)], i) << "item " << i;
}

TEST(UiDispatcher, work_queued_when_the_dispatcher_dies_never_runs) {
  auto ran = std::make_shared<std::atomic<int>>(0);
  {
    corvio::UiDispatcher dispatcher;
    ASSERT_TRUE(dispatcher.Post([ran] { ++*ran; }));
  }
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(ran->load(), 0);
}

TEST(UiDispatcher, empty_work_is_refused) {
  corvio::UiDispatcher dispatcher;
  EXPECT_FALSE(dispatcher.Post(std::function<void()>()));
}

TEST(UiDispatcher, throwing_work_does_not_stop_later_work) {
  corvio::UiDispatcher dispatcher;
  int after = 0;
  dispatcher.Post([] { throw 1; });
  dispatcher.Post([&] { after = 1; });
  ASSERT_TRUE(PumpUntil([&] { return after == 1; }, 10000));
}

}  // namespace
