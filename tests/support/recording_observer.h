#pragma once

#include <algorithm>
#include <mutex>
#include <optional>
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
  // A job's end, with how many lines and notifications had come before it.
  struct End {
    OperationKind kind;
    ResultCode result;
    size_t lines_before;
    size_t notifications_before;
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
  void OnOperationEnd(OperationKind kind, ResultCode result) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ends_.push_back({kind, result, lines_.size(), notifications_.size()});
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
  // Forgets everything recorded, for a test that runs several sessions.
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
    notifications_.clear();
    messages_.clear();
    close_requests_ = 0;
    ends_.clear();
  }
  std::vector<End> ends(OperationKind kind) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<End> of_kind;
    std::copy_if(ends_.begin(), ends_.end(), std::back_inserter(of_kind),
                 [kind](const End& e) { return e.kind == kind; });
    return of_kind;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  std::vector<Notification> notifications_;
  std::vector<std::string> messages_;
  int close_requests_ = 0;
  std::vector<End> ends_;
};

}  // namespace tessor::test
