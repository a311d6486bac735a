#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/trace_format.h"
#include "tools/devsim/pacing.h"

namespace tessor::devsim {

// A recorded session cut at the host's sentences: each host sentence with
// what the device sent after it, before the next one.
struct ReplayOutput {
  std::chrono::milliseconds delay;  // after the host sentence (or the host's connect)
  std::string bytes;
};
struct ReplayStep {
  std::string host;                 // empty for the device's output before the first host sentence
  size_t line_number = 0;           // of the host sentence in the trace file
  std::chrono::milliseconds at{0};  // when the trace has it
  std::vector<ReplayOutput> outputs;
};
using ReplayScript = std::vector<ReplayStep>;

ReplayScript MakeReplayScript(const std::vector<trace::Line>& lines,
                              const std::vector<size_t>& numbers);
// False with a message when the trace cannot be read or holds no host sentence.
bool LoadReplayScript(const std::string& path, ReplayScript* script, std::string* error);

struct ReplayOptions {
  bool pace = true;   // keep the recorded delays; false sends at once
  bool once = false;  // end after a host has opened and closed the port
  // Told once, from the serving thread, when the host leaves the trace.
  std::function<void(const std::string&)> on_divergence;
};

// Plays the device's side of a trace on a pty master: each host sentence
// that matches the next one of the trace is answered with the device's
// recorded bytes; the first one that differs is reported and nothing is
// answered after it. One serving thread, every wait bounded.
class Replayer {
 public:
  // Takes ownership of the master fd.
  Replayer(int master_fd, ReplayScript script, ReplayOptions options);
  ~Replayer();
  Replayer(const Replayer&) = delete;
  Replayer& operator=(const Replayer&) = delete;

  void Start();
  void Stop();  // ends and joins the serving thread
  // Serving ended by itself (--once).
  bool WaitFinished(std::chrono::milliseconds timeout);

  // Empty while the host follows the trace; else what differed, naming the trace line.
  std::string divergence() const;
  // Every host sentence of the trace was matched.
  bool complete() const { return next_step_.load() >= script_.size(); }

 private:
  void Run();
  bool Cycle();
  void Wait(Clock::time_point now);
  void ReadHost(Clock::time_point now);
  void MatchHost(Clock::time_point now);
  size_t Candidate(size_t first, bool* whole) const;
  bool FromAnotherThread(size_t first, size_t s) const;
  bool IsRepeat(const std::string& sentence) const;
  void ReportDivergence(size_t first, const std::string& got);
  void Diverge(const std::string& message);
  void Queue(const ReplayStep& step, Clock::time_point base);
  void WriteDue(Clock::time_point now);
  void Finish();

  struct Due {
    Clock::time_point at;
    std::string bytes;
  };

  int fd_;
  ReplayScript script_;
  ReplayOptions options_;
  std::atomic<size_t> next_step_{1};  // step 0 holds the output before any host sentence
  std::map<std::string, size_t> last_of_command_;  // the step each command last matched
  std::vector<bool> matched_;  // host sentences already seen (some come out of order)
  std::string received_;       // host bytes not yet matched
  std::optional<Clock::time_point> mismatch_since_;
  std::deque<Due> out_;
  size_t out_offset_ = 0;
  bool connected_ = false;
  bool connected_seen_ = false;
  bool diverged_flag_ = false;

  mutable std::mutex divergence_mutex_;
  std::string divergence_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::mutex finished_mutex_;
  std::condition_variable finished_cv_;
  bool finished_ = false;
};

}  // namespace tessor::devsim
