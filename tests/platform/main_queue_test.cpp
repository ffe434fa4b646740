#include "platform/main_queue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace tovik {
namespace {

TEST(MainQueue, RunsInOrderNeverInlineAndAtDeadlines) {
  ManualClock clock;
  MainQueue& q = MainQueue::main();
  q.useClock(&clock);
  std::vector<int> order;
  q.asyncAfter(q.now() + seconds(0.5), [&] { order.push_back(3); });
  q.async([&] { order.push_back(1); });
  q.async([&] {
    order.push_back(2);
    q.async([&] { order.push_back(4); });
  });
  EXPECT_TRUE(order.empty());
  q.runUntilIdle();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 4}));
  q.runFor(seconds(0.5) - Duration(1));
  EXPECT_EQ(order.size(), 3U);
  q.runFor(Duration(1));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 4, 3}));
  q.useClock(nullptr);
}

TEST(MainQueue, ADelayedItemRunsWithTheClockAtItsDeadline) {
  ManualClock clock;
  MainQueue& q = MainQueue::main();
  q.useClock(&clock);
  const DispatchTime start = q.now();
  std::vector<Duration> seen;
  for (const double delay : {0.1, 0.5, 1.0}) {
    q.asyncAfter(start + seconds(delay), [&] { seen.push_back(q.now().sinceStart); });
  }
  q.runFor(seconds(2));
  EXPECT_EQ(seen, (std::vector<Duration>{(start + seconds(0.1)).sinceStart,
                                         (start + seconds(0.5)).sinceStart,
                                         (start + seconds(1.0)).sinceStart}));
  EXPECT_EQ(q.now(), start + seconds(2));
  q.useClock(nullptr);
}

TEST(MainQueue, ItemsFromAnotherThreadKeepTheirOrder) {
  MainQueue& q = MainQueue::main();
  std::vector<int> seen;
  std::thread t([&] {
    for (int i = 0; i < 100; ++i) q.async([&, i] { seen.push_back(i); });
  });
  t.join();
  q.runUntilIdle();
  ASSERT_EQ(seen.size(), 100U);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(seen[static_cast<std::size_t>(i)], i);
}

}  // namespace
}  // namespace tovik
