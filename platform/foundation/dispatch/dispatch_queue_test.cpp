#include "platform/foundation/dispatch/dispatch_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/support/test_support.h"

namespace platform::foundation {
namespace {

using std::chrono::steady_clock;

steady_clock::time_point inSeconds(int seconds) {
  return steady_clock::now() + std::chrono::seconds(seconds);
}

TEST(DispatchQueueTest, MainTasksRunInOrderOnlyInsideTheRunLoopOnTheCallingThread) {
  constexpr int kTasks = 100;
  std::vector<int> order;
  std::vector<std::thread::id> threads;
  bool allOnMainThread = true;
  for (int i = 0; i < kTasks; ++i) {
    DispatchQueue::main().async([&, i] {
      order.push_back(i);
      threads.push_back(std::this_thread::get_id());
      allOnMainThread = allOnMainThread && DispatchQueue::isMainThread();
    });
  }
  EXPECT_TRUE(order.empty());
  EXPECT_FALSE(DispatchQueue::isMainThread());

  ASSERT_TRUE(runMainQueueUntil([&] { return order.size() == kTasks; }, inSeconds(10)));

  for (int i = 0; i < kTasks; ++i) {
    EXPECT_EQ(order[i], i);
    EXPECT_EQ(threads[i], std::this_thread::get_id());
  }
  EXPECT_TRUE(allOnMainThread);
  EXPECT_FALSE(DispatchQueue::isMainThread());
}

TEST(DispatchQueueTest, GlobalTasksRunOnOtherThreads) {
  std::atomic<bool> ran{false};
  std::thread::id workerThread;
  bool workerIsMain = true;
  DispatchQueue::global().async([&] {
    workerThread = std::this_thread::get_id();
    workerIsMain = DispatchQueue::isMainThread();
    ran = true;
  });
  ASSERT_TRUE(quorvel::testing::waitUntil([&] { return ran.load(); }));
  EXPECT_NE(workerThread, std::this_thread::get_id());
  EXPECT_FALSE(workerIsMain);
}

TEST(DispatchQueueTest, AsyncNeverRunsTheTaskInsideTheCall) {
  bool outerReturned = false;
  bool innerSawOuterReturned = false;
  bool innerRan = false;
  DispatchQueue::main().async([&] {
    DispatchQueue::main().async([&] {
      innerSawOuterReturned = outerReturned;
      innerRan = true;
    });
    outerReturned = true;
  });
  ASSERT_TRUE(runMainQueueUntil([&] { return innerRan; }, inSeconds(10)));
  EXPECT_TRUE(innerSawOuterReturned);
}

TEST(DispatchQueueTest, RunLoopReturnsFalseAtTheDeadlineWhenNothingCompletes) {
  EXPECT_FALSE(
      runMainQueueUntil([] { return false; }, steady_clock::now() + std::chrono::milliseconds(30)));
  EXPECT_FALSE(runMainQueueUntil({}, steady_clock::now()));
}

TEST(DispatchQueueTest, RunLoopReturnsTrueAtOnceWhenAlreadyDone) {
  EXPECT_TRUE(runMainQueueUntil([] { return true; }, steady_clock::now()));
}

TEST(DispatchQueueTest, RunLoopSeesAConditionMadeTrueByAnotherThread) {
  std::atomic<bool> flag{false};
  DispatchQueue::global().async([&] { flag = true; });
  EXPECT_TRUE(runMainQueueUntil([&] { return flag.load(); }, inSeconds(10)));
}

TEST(DispatchQueueTest, GlobalCompletionReachesTheMainQueue) {
  bool delivered = false;
  DispatchQueue::global().async(
      [&] { DispatchQueue::main().async([&] { delivered = DispatchQueue::isMainThread(); }); });
  EXPECT_TRUE(runMainQueueUntil([&] { return delivered; }, inSeconds(10)));
}

TEST(DispatchQueueTest, MainTaskMayRunTheLoopAgain) {
  bool innerRan = false;
  bool nestedReturned = false;
  DispatchQueue::main().async([&] {
    DispatchQueue::main().async([&] { innerRan = true; });
    nestedReturned = runMainQueueUntil([&] { return innerRan; }, inSeconds(10));
  });
  EXPECT_TRUE(runMainQueueUntil([&] { return nestedReturned; }, inSeconds(10)));
}

// Tasks that each wait for all the others to start would deadlock a fixed
// pool smaller than their number.
TEST(DispatchQueueTest, GlobalQueueGrowsWhenEveryWorkerIsBlocked) {
  constexpr int kTasks = 12;
  std::mutex mutex;
  std::condition_variable allStarted;
  int started = 0;
  std::atomic<int> sawEveryone{0};
  for (int i = 0; i < kTasks; ++i) {
    DispatchQueue::global().async([&] {
      std::unique_lock lock(mutex);
      ++started;
      allStarted.notify_all();
      if (allStarted.wait_for(lock, std::chrono::seconds(10), [&] { return started == kTasks; })) {
        ++sawEveryone;
      }
    });
  }
  ASSERT_TRUE(quorvel::testing::waitUntil([&] { return sawEveryone.load() == kTasks; },
                                          std::chrono::seconds(20)));
}

TEST(DispatchQueueTest, ManyThreadsPostingToBothQueuesAtOnce) {
  constexpr int kProducers = 8;
  constexpr int kPerProducer = 500;
  // Plain (non-atomic) on purpose: only main-queue tasks touch these, so
  // the race detector proves those tasks never overlap.
  int mainCount = 0;
  std::vector<int> lastSeen(kProducers, -1);
  bool mainInOrder = true;
  std::atomic<int> globalCount{0};

  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p) {
    producers.emplace_back([&, p] {
      for (int i = 0; i < kPerProducer; ++i) {
        DispatchQueue::main().async([&, p, i] {
          mainInOrder = mainInOrder && lastSeen[p] == i - 1;
          lastSeen[p] = i;
          ++mainCount;
        });
        DispatchQueue::global().async([&] { ++globalCount; });
      }
    });
  }
  const bool finished =
      runMainQueueUntil([&] { return mainCount == kProducers * kPerProducer; }, inSeconds(60));
  for (auto& producer : producers) producer.join();
  ASSERT_TRUE(finished);
  EXPECT_TRUE(mainInOrder);
  EXPECT_TRUE(
      quorvel::testing::waitUntil([&] { return globalCount.load() == kProducers * kPerProducer; }));
}

TEST(DispatchQueueTest, TwoThreadsRunningTheMainQueueTakeTurns) {
  constexpr int kTasks = 2000;
  // Plain on purpose, as above: overlapping main-queue tasks would race.
  int ran = 0;
  bool overlapped = false;
  bool inside = false;
  for (int i = 0; i < kTasks; ++i) {
    DispatchQueue::main().async([&] {
      overlapped = overlapped || inside;
      inside = true;
      ++ran;
      inside = false;
    });
  }
  std::atomic<int> finished{0};
  // The condition is read only by whichever thread holds the run loop.
  auto service = [&] {
    if (runMainQueueUntil([&] { return ran == kTasks; }, inSeconds(30))) ++finished;
  };
  std::thread other(service);
  service();
  other.join();
  EXPECT_EQ(finished.load(), 2);
  EXPECT_FALSE(overlapped);
}

}  // namespace
}  // namespace platform::foundation
