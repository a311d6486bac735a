#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "engine/device_engine.h"
#include "engine/engine_observer.h"
#include "engine/recording_transport.h"
#include "engine/trace_format.h"
#include "tools/cli/interrupt.h"

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
  void OnOperationEnd(OperationKind kind, ResultCode result) override;

  bool close_requested() const { return close_requested_.load(); }
  // How a job of this kind ended, once it has.
  std::optional<ResultCode> ended(OperationKind kind) const;
  // Until a job of this kind has ended, stop() holds, or the deadline passes;
  // whether it has ended. stop() is tested again on every Wake().
  bool WaitForEnd(OperationKind kind, std::chrono::steady_clock::time_point deadline,
                  const std::function<bool()>& stop);
  void Wake();

  // Progress the tool measures itself, for jobs the engine does not report.
  void ShowProgress(int64_t done, int64_t total);
  // Names the step a long job has reached ("track 2 of 3"): a "phase TEXT"
  // line with --progress, the bar's label on a terminal.
  void ShowPhase(const std::string& text);
  // A job without an amount in bytes: its steps as "progress" lines, and on a
  // terminal the seconds it has taken so far instead of a bar.
  void ShowSteps(int64_t done, int64_t total);
  void ShowElapsed(const std::string& label, int seconds);
  // Ends the bar's line, so that what follows starts on a line of its own.
  void EndBar();

 private:
  void ShowProgressLocked(int64_t done, int64_t total);

  Progress progress_;
  std::mutex mutex_;
  std::atomic<bool> close_requested_{false};
  int64_t last_done_ = -1, last_total_ = -1;
  std::chrono::steady_clock::time_point started_{};
  bool bar_shown_ = false;
  std::string phase_;
  int elapsed_shown_ = -1;
  mutable std::mutex ends_mutex_;
  std::condition_variable ends_changed_;
  std::array<std::optional<ResultCode>, 4> ends_{};
};

// The file that --trace names (empty: no trace) for every device session after.
void SetTracePath(std::string path);
// Whether a session's trace could not be completed (its message is printed).
bool TraceFailed();

// One device job: connect with the full handshake, run, disconnect.
class DeviceSession {
 public:
  explicit DeviceSession(bool progress_lines);
  ~DeviceSession();

  // Connects to a device path, or a COM number through the port directory.
  // Returns 0 when connected (the device may hold no database), else the
  // engine's code, 64 for a port text that names no port or 74 when the
  // trace cannot be written (then the device is not contacted).
  int Open(const std::string& port);
  CDeviceEngine& engine() { return engine_; }

  // Waits for a worker slot's thread to end, calling each_round about twenty
  // times a second. Once interrupted, the thread is told to stop and given
  // a bounded time to end cleanly before it is stopped outright.
  void WaitWorker(int slot, const std::function<void()>& each_round = {});

  PrintingObserver& observer() { return observer_; }
  // Whether Ctrl-C or SIGTERM has come; the job should end soon.
  static bool interrupted() { return InterruptWatch::Signal() != 0; }
  // What the line of an interrupted run says was finished.
  void SetFinished(std::string text) { finished_ = std::move(text); }

 private:
  bool StartTrace();
  void EndTrace();
  bool WaitHandshakeEnd();

  PrintingObserver observer_;
  CDeviceEngine engine_;
  trace::TraceWriter trace_;
  RecordingTransport recorder_{engine_.port, trace_};
  std::string path_;
  std::string finished_ = "nothing was done: the connection was not made";
  InterruptWatch watch_;
};

// Runs a job on a connected session, or returns the connect's code.
int RunOnDevice(const std::string& port, bool progress,
                const std::function<int(DeviceSession&)>& job);

}  // namespace tessor::cli
