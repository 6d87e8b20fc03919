#include "platform/foundation/dispatch/dispatch_queue.h"

#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/foundation/output_file.h"

namespace platform::foundation {

class DispatchQueue::Impl {
 public:
  Impl() = default;
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  virtual ~Impl() = default;
  virtual bool post(std::function<void()> task) = 0;
};

namespace {

// How often an idle run loop looks at its condition again, for conditions
// that another thread makes true without posting to the main queue.
constexpr std::chrono::milliseconds kIdleRecheck{10};

// More workers than this would only add contention; blocked transfers are
// bounded by their own time-outs.
constexpr int kMaxGlobalWorkers = 64;

// How deep the current thread is inside runMainQueueUntil.
thread_local int mainRunDepth = 0;

class MainQueue final : public DispatchQueue::Impl {
 public:
  bool post(std::function<void()> task) override {
    {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
    }
    ready_.notify_one();
    return true;
  }

  bool runUntil(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline) {
    // One servicing thread at a time keeps the main queue serial; the same
    // thread may come back in from inside a task.
    const bool outermost = mainRunDepth == 0;
    if (outermost && !claimRunLoop(deadline)) return done && done();
    ++mainRunDepth;
    struct DepthGuard {
      MainQueue* queue;
      bool outermost;
      ~DepthGuard() {
        --mainRunDepth;
        if (outermost) queue->releaseRunLoop();
      }
    } depthGuard{this, outermost};

    const auto isDone = [&done] { return done && done(); };
    for (;;) {
      if (isDone()) return true;
      std::function<void()> task;
      {
        std::unique_lock lock(mutex_);
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) break;
        ready_.wait_until(lock, std::min(deadline, now + kIdleRecheck),
                          [this] { return !tasks_.empty(); });
        if (tasks_.empty()) continue;
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
    }
    return isDone();
  }

 private:
  bool claimRunLoop(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    if (!runLoopFree_.wait_until(lock, deadline, [this] { return !running_; })) return false;
    running_ = true;
    return true;
  }

  void releaseRunLoop() {
    {
      std::lock_guard lock(mutex_);
      running_ = false;
    }
    runLoopFree_.notify_one();
  }

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> tasks_;
  bool running_ = false;  // some thread is inside runUntil
  std::condition_variable runLoopFree_;
};

class GlobalQueue final : public DispatchQueue::Impl {
 public:
  bool post(std::function<void()> task) override {
    bool spawn = false;
    {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
      // Workers told to wake still count as idle until they do, so compare
      // the whole backlog with them: a worker blocked in a task never
      // starves what is queued behind it.
      if (static_cast<int>(tasks_.size()) > idle_ && workers_ < kMaxGlobalWorkers) {
        ++workers_;
        spawn = true;
      }
    }
    if (!spawn) {
      ready_.notify_one();
      return true;
    }
    try {
      // Detached: a worker lives for the process and never holds up exit.
      // This object is never destroyed, so a worker waiting at exit is fine.
      std::thread([this] { work(); }).detach();
    } catch (const std::system_error& error) {
      writeAll(STDERR_FILENO,
               std::string("error: cannot start a background worker: ") + error.what() + "\n");
      std::lock_guard lock(mutex_);
      if (--workers_ == 0) {
        // No worker will ever take it, and none has yet.
        tasks_.pop_back();
        return false;
      }
    }
    ready_.notify_one();
    return true;
  }

 private:
  void work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      ++idle_;
      ready_.wait(lock, [this] { return !tasks_.empty(); });
      --idle_;
      std::function<void()> task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      task();
      task = nullptr;  // captured state dies outside the lock
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> tasks_;
  int workers_ = 0;
  int idle_ = 0;
};

MainQueue& mainQueueImpl() {
  static MainQueue* const impl = new MainQueue;
  return *impl;
}

}  // namespace

DispatchQueue& DispatchQueue::main() {
  static DispatchQueue* const queue = new DispatchQueue(&mainQueueImpl());
  return *queue;
}

DispatchQueue& DispatchQueue::global() {
  static DispatchQueue* const queue = new DispatchQueue(new GlobalQueue);
  return *queue;
}

void DispatchQueue::async(std::function<void()> task) { tryAsync(std::move(task)); }

bool DispatchQueue::tryAsync(std::function<void()> task) {
  if (!task) return true;
  return impl_->post(std::move(task));
}

bool DispatchQueue::isMainThread() { return mainRunDepth > 0; }

bool runMainQueueUntil(const std::function<bool()>& done,
                       std::chrono::steady_clock::time_point deadline) {
  return mainQueueImpl().runUntil(done, deadline);
}

}  // namespace platform::foundation
