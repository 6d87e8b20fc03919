// DispatchQueue: the platform's main queue and its global background queue.
//
// The main queue has no thread of its own: its tasks run only on a thread
// that is inside runMainQueueUntil, one at a time, in the order posted. The
// global queue is a pool of worker threads, created on first use, that grows
// when every worker is busy (a worker may block on I/O) and lives for the
// process; its threads never hold up exit. Both queues and all functions here
// are safe to use from any thread. The queues are process-wide and never
// destroyed.
#pragma once

#include <chrono>
#include <functional>

namespace platform::foundation {

class DispatchQueue {
 public:
  DispatchQueue(const DispatchQueue&) = delete;
  DispatchQueue& operator=(const DispatchQueue&) = delete;

  // Serviced only by a thread running runMainQueueUntil.
  static DispatchQueue& main();
  // Default priority worker pool.
  static DispatchQueue& global();

  // Queues `task`; it never runs inside this call. Tasks start in the order
  // posted (on the global queue several may then run at the same time).
  // An empty task is ignored.
  void async(std::function<void()> task);
  // As async, but false (and `task` dropped, never run) when no thread can
  // run it: the global queue has no worker and cannot start one.
  bool tryAsync(std::function<void()> task);

  // True on the thread currently running the main queue's run loop.
  static bool isMainThread();

  class Impl;

 private:
  explicit DispatchQueue(Impl* impl) : impl_(impl) {}
  Impl* impl_;  // process-wide, never freed: workers may outlive main()
};

// Runs main-queue tasks on the calling thread until done() is true (checked
// before waiting, after each task, and now and then while idle, so a flag set
// by another thread is also seen) or `deadline` passes. Returns done().
// Re-entrant: a main-queue task may call it again. While one thread runs the
// main queue another thread calling this waits its turn (up to its deadline).
bool runMainQueueUntil(const std::function<bool()>& done,
                       std::chrono::steady_clock::time_point deadline);

}  // namespace platform::foundation
