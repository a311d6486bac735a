#include "tools/cli/device_session.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <thread>

#include "database/number_text.h"
#include "engine/timing.h"
#include "tools/cli/cli_output.h"
#include "tools/cli/port_lookup.h"

namespace tessor::cli {

void PrintingObserver::OnStatusLine(const std::string& text, bool /*replace_last*/) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (bar_shown_) std::cerr << "\r\033[K" << std::flush;
  PrintStatus(text);
}

void PrintingObserver::OnMessageBox(const std::string& /*caption*/, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::cerr << "message: " << text << std::endl;
}

void PrintingObserver::OnNotification(int id, int64_t first, int64_t second) {
  if (id != WM_DEV_PROGRESS) return;
  ShowProgress(first, second);
}

void PrintingObserver::OnOperationEnd(OperationKind kind, ResultCode result) {
  {
    std::lock_guard<std::mutex> lock(ends_mutex_);
    ends_.at(static_cast<size_t>(kind)) = result;
  }
  ends_changed_.notify_all();
}

std::optional<ResultCode> PrintingObserver::ended(OperationKind kind) const {
  std::lock_guard<std::mutex> lock(ends_mutex_);
  return ends_.at(static_cast<size_t>(kind));
}

bool PrintingObserver::WaitForEnd(OperationKind kind,
                                  std::chrono::steady_clock::time_point deadline,
                                  const std::function<bool()>& stop) {
  std::unique_lock<std::mutex> lock(ends_mutex_);
  ends_changed_.wait_until(
      lock, deadline, [&] { return ends_.at(static_cast<size_t>(kind)).has_value() || stop(); });
  return ends_.at(static_cast<size_t>(kind)).has_value();
}

void PrintingObserver::Wake() {
  { std::lock_guard<std::mutex> lock(ends_mutex_); }
  ends_changed_.notify_all();
}

void PrintingObserver::ShowProgress(int64_t done, int64_t total) {
  if (progress_ == Progress::kNone) return;
  std::lock_guard<std::mutex> lock(mutex_);
  ShowProgressLocked(done, total);
}

void PrintingObserver::ShowPhase(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (text == phase_) return;
  phase_ = text;
  if (progress_ == Progress::kLines) std::cerr << "phase " << text << std::endl;
}

void PrintingObserver::ShowSteps(int64_t done, int64_t total) {
  if (progress_ != Progress::kLines) return;
  std::lock_guard<std::mutex> lock(mutex_);
  ShowProgressLocked(done, total);
}

void PrintingObserver::ShowElapsed(const std::string& label, int seconds) {
  if (progress_ != Progress::kBar) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (seconds == elapsed_shown_ && bar_shown_) return;
  elapsed_shown_ = seconds;
  std::fprintf(stderr, "\r\033[K%s %d s", label.c_str(), seconds);
  std::fflush(stderr);
  bar_shown_ = true;
}

void PrintingObserver::EndBar() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (bar_shown_) std::cerr << std::endl;
  bar_shown_ = false;
}

void PrintingObserver::ShowProgressLocked(int64_t done, int64_t total) {
  if (done == last_done_ && total == last_total_) return;
  const auto now = std::chrono::steady_clock::now();
  if (total != last_total_ || done < last_done_) started_ = now;
  last_done_ = done, last_total_ = total;
  if (progress_ == Progress::kLines) {
    std::cerr << "progress " << done << "/" << total << std::endl;
    return;
  }
  const double seconds = std::chrono::duration<double>(now - started_).count();
  const double rate = seconds > 0 ? done / seconds : 0;
  const double left = rate > 0 ? (total - done) / rate : 0;
  const int percent = total > 0 ? static_cast<int>(100 * done / total) : 0;
  const int filled = percent / 4;
  const std::string label = phase_.empty() ? "" : phase_ + " ";
  std::fprintf(stderr, "\r%s[%-25s] %3d%%  %.0f B/s  %.0f s left ", label.c_str(),
               std::string(filled, '#').c_str(), percent, rate, left);
  std::fflush(stderr);
  bar_shown_ = true;
}

namespace {
std::string trace_path;
std::atomic<bool> trace_failed{false};

PrintingObserver::Progress ProgressKind(bool lines) {
  if (lines) return PrintingObserver::Progress::kLines;
  return ::isatty(2) ? PrintingObserver::Progress::kBar : PrintingObserver::Progress::kNone;
}

}  // namespace

void SetTracePath(std::string path) {
  trace_path = std::move(path);
}
bool TraceFailed() {
  return trace_failed.load();
}

DeviceSession::DeviceSession(bool progress_lines)
    : observer_(ProgressKind(progress_lines)), watch_([this] {
        engine_.StopWorker();
        observer_.Wake();
      }) {
  engine_.SetObserver(&observer_);
  if (const char* scale = std::getenv("TESSOR_TIMING_SCALE")) {
    // Lets tests and the demo run the protocol's pauses faster, on the line's
    // own clock: a recorder in front of the port keeps it.
    const double factor = LeadingNumber(scale).value_or(0);
    if (factor > 0 && factor <= 1) engine_.transport().SetTimeScale(factor);
  }
}

// Every device subcommand ends here: an interrupted one says what it finished
// once the operation has stopped and the port is closed.
DeviceSession::~DeviceSession() {
  engine_.StopAllThreads();
  engine_.Disconnect();
  EndTrace();
  watch_.Stop();
  observer_.EndBar();
  if (interrupted()) PrintError("interrupted: " + finished_);
}

// Every byte of the session goes through the recorder once the trace is open.
bool DeviceSession::StartTrace() {
  if (trace_path.empty()) return true;
  if (!trace_.Open(trace_path)) {
    PrintError("cannot write the trace " + trace_path + ".part: " + std::strerror(errno));
    trace_failed = true;
    return false;
  }
  engine_.SetTransport(&recorder_);
  return true;
}

// Runs once the port is closed, also for an interrupted or failed job, so
// the trace is complete under its name.
void DeviceSession::EndTrace() {
  engine_.SetTransport(nullptr);
  if (!trace_.is_open()) return;
  if (!trace_.Close()) {
    PrintError("cannot complete the trace " + trace_.path() + ": " + std::strerror(errno));
    trace_failed = true;
  }
}

int DeviceSession::Open(const std::string& port) {
  if (!StartTrace()) return kExitCannotWrite;
  std::string reason;
  if (!LookUpPort(port, &path_, &reason)) {
    PrintError(reason);
    return kExitUsage;
  }
  engine_.SetPortResolver([this](int) { return path_; });
  const int result = engine_.Connect(1);
  if (result == kResultPortOpen || result == kResultPortSettings) {
    PrintError(path_ + ": " + PortErrorText(engine_.last_system_error()));
  }
  if (result != kResultOk && result != kResultNoDatabase) return result;
  // Device jobs start once the handshake has reported its end, the last thing
  // its thread does: after it says done it still takes the device out of link
  // mode, and a job's own mode change must not cross that.
  if (!WaitHandshakeEnd()) return kResultHandshakeRunning;
  engine_.JoinEnded(CDeviceEngine::kSlotHandshake);
  // A handshake without its track table is no connection: its failure line
  // has been printed, and no job may run on empty tables.
  if (!engine_.link_up()) return kResultPortNotOpen;
  if (observer_.ended(OperationKind::kHandshake) != kResultOk) return kResultNoAnswerRetries;
  finished_ = "the job was stopped before its end";
  return kResultOk;
}

// The handshake's own retries bound it; the rounds only guard against a
// thread that ended without its report. False when interrupted first.
bool DeviceSession::WaitHandshakeEnd() {
  const auto stop = [] { return interrupted(); };
  for (;;) {
    const auto round = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    if (observer_.WaitForEnd(OperationKind::kHandshake, round, stop)) return true;
    if (interrupted()) return false;
    if (!engine_.ThreadRunning(CDeviceEngine::kSlotHandshake)) return true;
  }
}

void DeviceSession::WaitWorker(int slot, const std::function<void()>& each_round) {
  using Clock = std::chrono::steady_clock;
  // Long enough for a request's wait, the way back to operation mode and its pause.
  constexpr auto kStopGrace = std::chrono::seconds(20);
  Clock::time_point give_up = Clock::time_point::max();
  while (engine_.ThreadRunning(slot)) {
    if (each_round) each_round();
    if (interrupted() && give_up == Clock::time_point::max()) {
      // The track download ends on this flag with its part file removed and the
      // device back in operation mode; the database transfers only end on the
      // link flag, which the engine's stop clears.
      engine_.StopWorker();
      give_up =
          slot == CDeviceEngine::kSlotTrackDownload ? Clock::now() + kStopGrace : Clock::now();
    }
    if (Clock::now() >= give_up) {
      engine_.StopThread(slot);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (each_round) each_round();
}

}  // namespace tessor::cli
