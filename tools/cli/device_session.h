#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>

#include "engine/device_engine.h"
#include "engine/engine_observer.h"

namespace tessor::cli {

// Prints what the engine reports: status lines to standard output, progress and
// message boxes to standard error.
class PrintingObserver : public EngineObserver {
 public:
  enum class Progress { kNone, kLines, kBar };
  explicit PrintingObserver(Progress progress) : progress_(progress) {}

  void OnStatusLine(const std::string& text, bool replace_last) override;
  void OnNotification(int id, int64_t first, int64_t second) override;
  void OnMessageBox(const std::string& caption, const std::string& text) override;
  void OnCloseRequest() override { close_requested_ = true; }

  bool close_requested() const { return close_requested_.load(); }

 private:
  void ShowProgress(int64_t done, int64_t total);

  Progress progress_;
  std::mutex mutex_;
  std::atomic<bool> close_requested_{false};
  int64_t last_done_ = -1, last_total_ = -1;
  std::chrono::steady_clock::time_point started_{};
  bool bar_shown_ = false;
};

// One device job: connect with the full handshake, run, disconnect.
class DeviceSession {
 public:
  explicit DeviceSession(bool progress_lines);
  ~DeviceSession();

  // Connects to a device path, or a COM number through the port directory.
  // Returns 0 when connected (the device may hold no database), else the
  // engine's code or 64 for a port text that names no port.
  int Open(const std::string& port);
  CDeviceEngine& engine() { return engine_; }

  // Waits for a worker slot's thread to end.
  void WaitWorker(int slot);
  // The bracket the logger pages use before a setting.
  void EnterLinkMode();

 private:
  PrintingObserver observer_;
  CDeviceEngine engine_;
  std::string path_;
};

// Runs a job on a connected session, or returns the connect's code.
int RunOnDevice(const std::string& port, bool progress,
                const std::function<int(DeviceSession&)>& job);

}  // namespace tessor::cli
