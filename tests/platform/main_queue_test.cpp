#include "platform/main_queue.h"

#include <gtest/gtest.h>

#include <numeric>
#include <thread>
#include <vector>

namespace tovik {
namespace {

TEST(MainQueue, RunsInOrderNeverInlineAndDelayedItemsAtTheirDeadlines) {
  ManualClock clock;
  MainQueue& q = MainQueue::main();
  q.useClock(&clock);
  const DispatchTime start = q.now();
  std::vector<int> order;
  std::vector<Duration> ranAt;
  for (const int tenths : {10, 1, 5}) {
    q.asyncAfter(start + seconds(tenths / 10.0), [&, tenths] {
      order.push_back(tenths);
      ranAt.push_back(q.now().sinceStart);
    });
  }
  q.async([&] { order.push_back(-1); });
  q.async([&] {
    order.push_back(-2);
    q.async([&] { order.push_back(-3); });
  });
  EXPECT_TRUE(order.empty());
  q.runUntilIdle();
  EXPECT_EQ(order, (std::vector<int>{-1, -2, -3}));
  q.runFor(seconds(0.1) - Duration(1));
  EXPECT_EQ(order.size(), 3U);  // not a moment before its deadline
  q.runFor(seconds(2) - seconds(0.1) + Duration(1));
  EXPECT_EQ(order, (std::vector<int>{-1, -2, -3, 1, 5, 10}));
  // Each with the clock at its deadline.
  EXPECT_EQ(ranAt, (std::vector<Duration>{(start + seconds(0.1)).sinceStart,
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
  std::vector<int> expected(100);
  std::iota(expected.begin(), expected.end(), 0);
  EXPECT_EQ(seen, expected);
}

}  // namespace
}  // namespace tovik
