#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/devsim/command_handler.h"
#include "tools/devsim/command_parser.h"
#include "tools/devsim/device_model.h"
#include "tools/devsim/faults.h"
#include "tools/devsim/pacing.h"
#include "tools/devsim/scenario.h"
#include "tools/devsim/transcript.h"

namespace tessor::devsim {

struct SimulatorOptions {
  bool pace = true;   // hold the line to 57600 baud
  bool once = false;  // end after a host has opened and closed the port
};

// The simulated device on a pty master. One serving thread reads the host's
// commands, answers them and sends the device's own reports; every wait in it
// is bounded, so Stop() returns promptly.
class Simulator {
 public:
  // Takes ownership of the master fd (a vanish fault closes it early).
  Simulator(int master_fd, const Scenario& scenario, SimulatorOptions options);
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  void Start();
  void Stop();  // ends and joins the serving thread
  // Serving ended by itself (--once, or the line vanished).
  bool WaitFinished(std::chrono::milliseconds timeout);
  bool vanished() const { return vanished_.load(); }

  std::vector<uint8_t> DatabaseDump() const;
  std::vector<uint8_t> LogDump() const;
  std::string TranscriptText() const { return transcript_.Text(); }
  std::vector<trace::Line> TranscriptLines() const { return transcript_.Lines(); }
  uint32_t bad_checksums() const { return transcript_.bad_checksums(); }
  // Keeps the device busy with its long work until released: track requests
  // are answered with the busy report and an erase under way goes on. Lets a
  // test look at a host while an operation is surely still running.
  void HoldBusy(bool hold) { hold_busy_ = hold; }

 private:
  struct Pending {
    Clock::time_point ready_at;
    std::string raw;
    std::string text;
    bool checksum_ok;
  };

  void Run();
  bool Cycle();
  void ReadHost(Clock::time_point now);
  void ProcessCommands(Clock::time_point now);
  void Process(const Pending& p, Clock::time_point now);
  void RunTimers(Clock::time_point now);
  void SendUnsolicitedPositions(Clock::time_point now);
  bool PositionMayJoin() const;
  void ReleaseDelayedAnswers(Clock::time_point now);
  bool WriteOutput(Clock::time_point now);
  bool PieceMayStart(Clock::time_point now);
  void PieceSent(size_t n, Clock::time_point now);
  Clock::time_point NextSendAt() const;
  void Wait(Clock::time_point now);
  void QueueSentences(const std::vector<std::string>& sentences, Clock::time_point now);
  void QueueRaw(std::string bytes, Clock::time_point now);
  void QueueBetweenSentences(std::string bytes, Clock::time_point now);
  void DropOutput();
  void Vanish(Clock::time_point now);
  void Finish();

  int fd_;
  SimulatorOptions options_;
  Clock::time_point start_;
  mutable std::mutex model_mutex_;
  DeviceModel model_;
  FaultState faults_;
  Variant variant_;
  CommandHandler handler_;
  WirePacer pacer_;
  Transcript transcript_;
  SentenceScanner scanner_;
  DrivePlan stream_path_;
  uint32_t erase_ms_;

  std::string raw_;  // host bytes of the sentence being received
  std::deque<Pending> commands_;
  std::deque<std::string> out_;
  // Answers held back by the latency or the late fault, by the time they go
  // out (equal times in arrival order).
  std::multimap<Clock::time_point, std::vector<std::string>> delayed_;
  size_t out_offset_ = 0;
  size_t piece_left_ = 0;  // bytes still to go in the current piece of a chunked line
  Clock::time_point next_piece_at_{};
  uint64_t bytes_sent_ = 0;
  uint64_t sentences_queued_ = 0;
  bool commands_seen_ = false;
  bool want_write_ = false;
  bool connected_ = false;
  bool connected_seen_ = false;
  Clock::time_point erase_end_{};
  Clock::time_point next_erase_report_{};
  Clock::time_point next_position_{};
  Clock::time_point stream_start_{};
  Clock::time_point next_unsolicited_{};
  bool other_sent_since_position_ = true;

  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> vanished_{false};
  std::atomic<bool> hold_busy_{false};
  std::mutex finished_mutex_;
  std::condition_variable finished_cv_;
  bool finished_ = false;
};

}  // namespace tessor::devsim
