#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "engine/engine_observer.h"

namespace tessor::test {

// Records everything the engine reports, from whichever thread.
class RecordingObserver : public EngineObserver {
 public:
  struct Notification {
    int id;
    int64_t first, second;
  };

  void OnStatusLine(const std::string& text, bool replace_last) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (replace_last && !lines_.empty()) lines_.pop_back();
    lines_.push_back(text);
  }
  void OnNotification(int id, int64_t first, int64_t second) override {
    std::lock_guard<std::mutex> lock(mutex_);
    notifications_.push_back({id, first, second});
  }
  void OnMessageBox(const std::string& caption, const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(caption + "|" + text);
  }
  void OnCloseRequest() override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++close_requests_;
  }

  std::vector<std::string> lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }
  std::vector<Notification> notifications() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return notifications_;
  }
  std::vector<std::string> messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
  }
  int close_requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return close_requests_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  std::vector<Notification> notifications_;
  std::vector<std::string> messages_;
  int close_requests_ = 0;
};

}  // namespace tessor::test
