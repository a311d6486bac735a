#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace tessor {

// An event that releases one waiter and resets itself. Waits are always timed.
class AutoResetEvent {
 public:
  void Set() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      signalled_ = true;
    }
    cv_.notify_one();
  }

  void Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = false;
  }

  // True when the event was signalled within the time; the event is reset then.
  bool Wait(int timeout_ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return signalled_; })) {
      return false;
    }
    signalled_ = false;
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool signalled_ = false;
};

}  // namespace tessor
