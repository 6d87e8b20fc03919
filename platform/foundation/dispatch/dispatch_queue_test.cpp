#include "platform/foundation/dispatch/dispatch_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <thread>

#include "tests/support/test_support.h"

namespace platform::foundation {
using std::chrono::steady_clock;
using namespace std::chrono_literals;

static steady_clock::time_point inSeconds(int seconds) {
  return steady_clock::now() + std::chrono::seconds(seconds);
}

// A task posted from a task runs after it returns; a task may run the loop
// again, which goes on with the queue in order.
TEST(DispatchQueueTest, MainQueueRunsTasksInOrderOnlyInsideTheRunLoop) {
  DispatchQueue& main = DispatchQueue::main();
  std::string log;
  main.async({});  // ignored
  main.async([&] {
    main.async([&] { log += "inner "; }), log += DispatchQueue::isMainThread() ? "outer " : "?";
  });
  main.async([&] {
    log += runMainQueueUntil([&] { return log.size() == 10; }, inSeconds(9)) ? "nested " : "?";
  });
  for (const char* text : {"0 ", "1 ", "2 "}) main.async([&, text] { log += text; });
  EXPECT_TRUE(log.empty() && !DispatchQueue::isMainThread());
  ASSERT_TRUE(runMainQueueUntil([&] { return log.size() == 25; }, inSeconds(9)));
  EXPECT_EQ(log, "outer 0 1 nested 2 inner ");
  EXPECT_FALSE(runMainQueueUntil([] { return false; }, steady_clock::now() + 20ms));
  EXPECT_FALSE(runMainQueueUntil({}, steady_clock::now()));
  EXPECT_TRUE(runMainQueueUntil([] { return true; }, steady_clock::now()));
}

// Global tasks run off the main thread, in a pool that grows while every worker waits (a fixed pool
// would deadlock here), and post to the main queue. The main-queue state is plain on purpose: the
// race detector proves that its tasks never overlap, though two threads take turns running it.
TEST(DispatchQueueTest, GlobalTasksFeedASerialInOrderMainQueue) {
  int ran = 0, late = 0, last[12] = {};
  std::atomic<int> offMain{0};
  auto allStarted = std::make_shared<std::latch>(12);
  for (int p = 0; p < 12; ++p) {
    DispatchQueue::global().async([&, p, allStarted] {
      allStarted->arrive_and_wait();
      offMain += !DispatchQueue::isMainThread();
      for (int i = 1; i <= 200; ++i) {
        DispatchQueue::main().async(
            [&, p, i] { late += std::exchange(last[p], i) != i - 1, ++ran; });
      }
    });
  }
  auto allRan = [&] { return runMainQueueUntil([&] { return ran == 2400; }, inSeconds(60)); };
  bool otherSawAll = false;
  std::thread other([&] { otherSawAll = allRan(); });
  EXPECT_TRUE(allRan());
  other.join();
  EXPECT_TRUE(otherSawAll);
  EXPECT_EQ(late, 0);
  EXPECT_EQ(offMain, 12);
}

}  // namespace platform::foundation
