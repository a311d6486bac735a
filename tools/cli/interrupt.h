#pragma once

#include <atomic>
#include <csignal>
#include <functional>
#include <string>
#include <thread>

namespace tessor::cli {

// Ctrl-C and SIGTERM while a device job runs. The handler only records the
// signal and wakes a watch thread through a pipe; the job sees the record,
// stops its operation cooperatively and the tool ends with 128 + the signal.
// A second signal ends the tool at once.
//
// While a watch exists the signals are blocked in every other thread, so the
// engine's threads never see an interrupted system call.
class InterruptWatch {
 public:
  // on_signal runs once, on the watch's own thread, when the first signal comes.
  explicit InterruptWatch(std::function<void()> on_signal);
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

  // Ends the watch and gives the signals back to the process; a second call does nothing.
  void Stop();

  // 0, or the number of the first signal taken since the tool started.
  static int Signal();

 private:
  void Run();

  std::function<void()> on_signal_;
  std::atomic<bool> stop_{false};
  int pipe_[2] = {-1, -1};
  sigset_t old_mask_{};
  struct sigaction old_int_ {};
  struct sigaction old_term_ {};
  std::thread thread_;
};

}  // namespace tessor::cli
