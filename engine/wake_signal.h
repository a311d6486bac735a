#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace tessor {

// Wakes the engine's timed waits when a value they test may have changed.
// Whoever changes such a value calls Notify after the change. A waiter takes
// the count before it tests its condition and sleeps only while the count is
// unchanged, so a change between its test and its sleep is never lost. The
// condition is tested without this lock, so a changer may notify while it
// holds locks of its own.
class WakeSignal {
 public:
  using Clock = std::chrono::steady_clock;

  uint64_t Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
  }

  void Notify() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++count_;
    }
    cv_.notify_all();
  }

  // Until the count moves on from `seen` or the deadline passes; false at the deadline.
  bool WaitChange(uint64_t seen, Clock::time_point deadline) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_until(lock, deadline, [&] { return count_ != seen; });
  }

  // Until done() holds or the deadline passes; done()'s last answer.
  template <typename Done>
  bool WaitUntil(Clock::time_point deadline, Done done) const {
    for (;;) {
      const uint64_t seen = Count();
      if (done()) return true;
      if (!WaitChange(seen, deadline)) return done();
    }
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable cv_;
  uint64_t count_ = 0;
};

// A run flag shared between threads: every change wakes the waits that end on it.
class WakingFlag {
 public:
  WakingFlag(WakeSignal& signal, bool initial) : value_(initial), signal_(signal) {}
  WakingFlag(const WakingFlag&) = delete;
  WakingFlag& operator=(const WakingFlag&) = delete;

  void store(bool value) {
    value_.store(value);
    signal_.Notify();
  }
  bool load() const { return value_.load(); }
  WakingFlag& operator=(bool value) {
    store(value);
    return *this;
  }
  operator bool() const { return load(); }  // NOLINT: reads like the atomic it stands for

 private:
  std::atomic<bool> value_;
  WakeSignal& signal_;
};

}  // namespace tessor
