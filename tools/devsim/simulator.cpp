#include "tools/devsim/simulator.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "tools/devsim/answers.h"
#include "tools/devsim/nmea_stream.h"

namespace tessor::devsim {

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kEraseReportEvery{250};
constexpr milliseconds kPositionEvery{1000};
// The longest the serving thread waits before it looks at its stop flag again.
constexpr milliseconds kLongestWait{20};
// Paced output goes out in small pieces so that no byte leaves early.
constexpr size_t kPacedPiece = 16;

}  // namespace

Simulator::Simulator(int master_fd, const Scenario& scenario, SimulatorOptions options)
    : fd_(master_fd),
      options_(options),
      start_(Clock::now()),
      model_(scenario),
      faults_(scenario.faults),
      variant_(scenario.variant),
      handler_(model_, faults_, variant_),
      pacer_(options.pace),
      transcript_(start_),
      erase_ms_(scenario.erase_reports_ms),
      next_unsolicited_(start_ + milliseconds(variant_.unsolicited_nmea_ms)) {}

Simulator::~Simulator() {
  Stop();
  if (fd_ >= 0) close(fd_);
}

void Simulator::Start() {
  if (thread_.joinable()) return;
  stop_ = false;
  thread_ = std::thread([this] { Run(); });
}

void Simulator::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

bool Simulator::WaitFinished(milliseconds timeout) {
  std::unique_lock<std::mutex> lock(finished_mutex_);
  return finished_cv_.wait_for(lock, timeout, [this] { return finished_; });
}

std::vector<uint8_t> Simulator::DatabaseDump() const {
  std::lock_guard<std::mutex> lock(model_mutex_);
  return model_.DatabaseDump();
}

std::vector<uint8_t> Simulator::LogDump() const {
  std::lock_guard<std::mutex> lock(model_mutex_);
  return model_.log();
}

void Simulator::Run() {
  while (!stop_.load() && Cycle()) {
  }
  Finish();
}

void Simulator::Finish() {
  std::lock_guard<std::mutex> lock(finished_mutex_);
  finished_ = true;
  finished_cv_.notify_all();
}

bool Simulator::Cycle() {
  const Clock::time_point now = Clock::now();
  const auto& vanish_ms = faults_.vanish_after_ms();
  if (vanish_ms && now - start_ >= milliseconds(*vanish_ms)) {
    Vanish(now);
    return false;
  }
  RunTimers(now);
  ReleaseDelayedAnswers(now);
  ProcessCommands(now);
  if (!WriteOutput(now)) return false;
  if (options_.once && connected_seen_ && !connected_) return false;
  Wait(now);
  return true;
}

void Simulator::Wait(Clock::time_point now) {
  Clock::time_point wake = now + kLongestWait;
  if (!commands_.empty()) wake = std::min(wake, commands_.front().ready_at);
  if (!delayed_.empty()) wake = std::min(wake, delayed_.begin()->first);
  if (!out_.empty() && !want_write_) wake = std::min(wake, NextSendAt());
  const auto wait = std::max(Clock::duration::zero(), wake - now);
  const timespec ts{0, static_cast<long>(std::chrono::nanoseconds(wait).count())};
  pollfd p{fd_, static_cast<short>(POLLIN | (want_write_ ? POLLOUT : 0)), 0};
  if (ppoll(&p, 1, &ts, nullptr) <= 0) return;
  if (p.revents & POLLHUP) {
    // No host has the port open: nothing to read, and what is sent is lost.
    connected_ = false;
    DropOutput();
    timespec idle = ts;
    nanosleep(&idle, nullptr);
    return;
  }
  connected_ = connected_seen_ = true;
  if (p.revents & POLLIN) ReadHost(Clock::now());
}

void Simulator::ReadHost(Clock::time_point now) {
  char buffer[4096];
  const ssize_t n = read(fd_, buffer, sizeof buffer);
  for (ssize_t i = 0; i < n; ++i) {
    const Clock::time_point arrival = pacer_.Arrival(now);
    raw_.push_back(buffer[i]);
    std::string text;
    const auto outcome = scanner_.Feed(static_cast<uint8_t>(buffer[i]), &text);
    if (outcome != SentenceScanner::Outcome::kNone) {
      commands_.push_back({arrival, std::move(raw_), std::move(text),
                           outcome == SentenceScanner::Outcome::kSentence});
      raw_.clear();
    } else if (raw_.size() > 1024) {
      transcript_.Host(arrival, raw_);
      raw_.clear();
    }
  }
}

void Simulator::ProcessCommands(Clock::time_point now) {
  while (!commands_.empty() && commands_.front().ready_at <= now) {
    const Pending p = std::move(commands_.front());
    commands_.pop_front();
    Process(p, now);
  }
}

void Simulator::Process(const Pending& p, Clock::time_point now) {
  transcript_.Host(p.ready_at, p.raw);
  if (!p.checksum_ok) {
    transcript_.BadChecksum(p.ready_at, p.text);
    return;
  }
  const auto command = ParseCommand(p.text);
  if (!command) return;
  Reply reply;
  {
    std::lock_guard<std::mutex> lock(model_mutex_);
    const bool held = hold_busy_.load() && command->number == 102;
    reply = handler_.Handle(*command, now < erase_end_ || held);
  }
  // A late answer's own delay comes on top of the link's latency.
  const milliseconds delay = milliseconds(variant_.latency_ms) +
                             faults_.LateAnswer(command->number).value_or(milliseconds(0));
  if (delay > milliseconds(0)) {
    delayed_.emplace(now + delay, std::move(reply.sentences));
  } else {
    QueueSentences(reply.sentences, now);
  }
  if (reply.start_erase) {
    erase_end_ = now + milliseconds(erase_ms_);
    next_erase_report_ = now;
  }
  if (reply.streaming_changed) {
    stream_start_ = now;
    next_position_ = now;
  }
  if (!commands_seen_ && faults_.binary_protocol_pairs() > 0) {
    std::string pairs;
    for (uint32_t i = 0; i < faults_.binary_protocol_pairs(); ++i) pairs += "\xA0\xA2";
    QueueRaw(std::move(pairs), now);
  }
  commands_seen_ = true;
}

void Simulator::RunTimers(Clock::time_point now) {
  if (hold_busy_.load() && now < erase_end_) erase_end_ = now + kEraseReportEvery * 2;
  while (next_erase_report_ < erase_end_ && next_erase_report_ <= now) {
    QueueSentences({TextAnswer("$PSRFTXTErase now")}, now);
    next_erase_report_ += kEraseReportEvery;
  }
  SendUnsolicitedPositions(now);
  bool streaming;
  {
    std::lock_guard<std::mutex> lock(model_mutex_);
    streaming = model_.nmea_switch;
  }
  if (!streaming || now < next_position_) return;
  const double seconds = std::chrono::duration<double>(now - stream_start_).count();
  QueueSentences(
      PositionSentences(PathAt(stream_path_.lat, stream_path_.lon, seconds), std::time(nullptr)),
      now);
  next_position_ = std::max(next_position_ + kPositionEvery, now);
}

// A firmware that reports its position whatever the mode: a "$GPGGA" and
// "$GPRMC" pair at the next boundary between sentences.
void Simulator::SendUnsolicitedPositions(Clock::time_point now) {
  const uint32_t every_ms = variant_.unsolicited_nmea_ms;
  if (every_ms == 0 || now < next_unsolicited_ || !PositionMayJoin()) return;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const auto sentences =
      PositionSentences(PathAt(stream_path_.lat, stream_path_.lon, seconds), std::time(nullptr));
  // One item, so that a later pair cannot come between the two.
  QueueBetweenSentences(sentences.front() + sentences.back(), now);
  next_unsolicited_ = std::max(next_unsolicited_ + milliseconds(every_ms), now);
}

// A device keeps no backlog of positions and lets its answers go on between
// them: a pair joins only when none waits and something else has gone since.
bool Simulator::PositionMayJoin() const {
  if (out_.empty()) return true;
  return other_sent_since_position_ &&
         std::none_of(out_.begin(), out_.end(),
                      [](const std::string& item) { return item.starts_with("$GPGGA"); });
}

void Simulator::ReleaseDelayedAnswers(Clock::time_point now) {
  while (!delayed_.empty() && delayed_.begin()->first <= now) {
    QueueSentences(delayed_.begin()->second, now);
    delayed_.erase(delayed_.begin());
  }
}

void Simulator::QueueRaw(std::string bytes, Clock::time_point now) {
  if (out_.empty()) pacer_.StartSending(now);
  out_.push_back(std::move(bytes));
}

// Ahead of everything queued but after the item being sent, so that no
// sentence is cut.
void Simulator::QueueBetweenSentences(std::string bytes, Clock::time_point now) {
  if (out_.empty()) pacer_.StartSending(now);
  out_.insert(out_.begin() + (out_offset_ > 0 ? 1 : 0), std::move(bytes));
}

void Simulator::QueueSentences(const std::vector<std::string>& sentences, Clock::time_point now) {
  for (std::string s : sentences) {
    if (faults_.CorruptThisSentence()) CorruptChecksum(s);
    if (sentences_queued_++ > 0) {
      std::string noise = faults_.Garbage();
      if (!noise.empty()) QueueRaw(std::move(noise), now);
    }
    QueueRaw(std::move(s), now);
  }
}

// False when the line has vanished.
bool Simulator::WriteOutput(Clock::time_point now) {
  const auto& limit = faults_.vanish_after_bytes();
  while (!out_.empty()) {
    const std::string& item = out_.front();
    size_t n = item.size() - out_offset_;
    if (pacer_.enabled()) n = std::min(n, kPacedPiece);
    if (!PieceMayStart(now)) return true;
    if (variant_.chunk) n = std::min(n, piece_left_);
    if (pacer_.SendReadyAt(n) > now) return true;
    if (limit) n = std::min<uint64_t>(n, *limit - bytes_sent_);
    const ssize_t w = n == 0 ? 0 : write(fd_, item.data() + out_offset_, n);
    want_write_ = w < 0 && errno == EAGAIN;
    if (w < 0) {
      // The host has closed the port: what was still to go is lost.
      if (!want_write_) DropOutput();
      return true;
    }
    pacer_.Sent(static_cast<size_t>(w), now);
    bytes_sent_ += static_cast<uint64_t>(w);
    out_offset_ += static_cast<size_t>(w);
    if (out_offset_ == item.size()) {
      transcript_.Device(now, item);
      other_sent_since_position_ = !item.starts_with("$GPGGA");
      out_.pop_front();
      out_offset_ = 0;
    }
    PieceSent(static_cast<size_t>(w), now);
    if (limit && bytes_sent_ >= *limit) {
      Vanish(now);
      return false;
    }
  }
  return true;
}

// False while the pause after a piece of a chunked line lasts. The pause
// comes on top of the wire time: the piece's own bytes are paced from its start.
bool Simulator::PieceMayStart(Clock::time_point now) {
  if (!variant_.chunk || piece_left_ > 0) return true;
  if (now < next_piece_at_) return false;
  piece_left_ = variant_.chunk->bytes;
  pacer_.StartSending(now);
  return true;
}

// A piece ends when it is full or when nothing more is waiting to go.
void Simulator::PieceSent(size_t n, Clock::time_point now) {
  if (!variant_.chunk) return;
  piece_left_ -= std::min(n, piece_left_);
  if (piece_left_ == 0 || out_.empty()) {
    piece_left_ = 0;
    next_piece_at_ = now + milliseconds(variant_.chunk->gap_ms);
  }
}

Clock::time_point Simulator::NextSendAt() const {
  if (variant_.chunk && piece_left_ == 0) return next_piece_at_;
  size_t n = std::min(kPacedPiece, out_.front().size() - out_offset_);
  if (variant_.chunk) n = std::min(n, piece_left_);
  return pacer_.SendReadyAt(n);
}

void Simulator::DropOutput() {
  out_.clear();
  out_offset_ = 0;
  piece_left_ = 0;
  want_write_ = false;
}

void Simulator::Vanish(Clock::time_point now) {
  if (out_offset_ > 0) transcript_.Device(now, out_.front().substr(0, out_offset_));
  transcript_.Note(now, "line closed (vanish fault)");
  vanished_ = true;
  close(fd_);
  fd_ = -1;
}

}  // namespace tessor::devsim
