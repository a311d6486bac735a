#include "tools/devsim/replay.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace tessor::devsim {

namespace {

using std::chrono::milliseconds;

// The longest the serving thread waits before it looks at its stop flag again.
constexpr milliseconds kLongestWait{20};
// A differing sentence is shown whole: its line feed is waited for this long.
constexpr milliseconds kRestOfSentenceWait{1000};

// Host sentences recorded within this time of each other come from the host's
// threads at once (a queued command beside the link thread's): they may reach
// the line in either order, and each is answered when it comes.
constexpr milliseconds kConcurrentWindow{50};
// Further apart, a sentence still comes early when another thread sent it: the
// connect's queries run beside the handshake, and a loaded host shifts them by
// more than that. A sentence of the same command as one still awaited is no
// such case: its order is the host's own logic (the track headers count down).
constexpr milliseconds kOtherThreadWindow{3000};

// "$PKVN101" of "$PKVN101,2*3F\r\n": the command a sentence is.
std::string_view CommandOf(std::string_view sentence) {
  return sentence.substr(0, std::min(sentence.find_first_of(",*\r\n"), sentence.size()));
}

std::string Quoted(std::string_view bytes) {
  return "\"" + trace::Escape(bytes) + "\"";
}

}  // namespace

ReplayScript MakeReplayScript(const std::vector<trace::Line>& lines,
                              const std::vector<size_t>& numbers) {
  ReplayScript script(1);
  long long base_ms = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const trace::Line& line = lines[i];
    if (line.direction == trace::Direction::kHost) {
      script.push_back(
          {line.bytes, i < numbers.size() ? numbers[i] : i + 1, milliseconds(line.ms), {}});
      base_ms = line.ms;
    } else if (line.direction == trace::Direction::kDevice) {
      script.back().outputs.push_back({milliseconds(std::max(0LL, line.ms - base_ms)), line.bytes});
    }
  }
  return script;
}

bool LoadReplayScript(const std::string& path, ReplayScript* script, std::string* error) {
  std::vector<trace::Line> lines;
  std::vector<size_t> numbers;
  if (!trace::ReadTrace(path, &lines, error, &numbers)) return false;
  *script = MakeReplayScript(lines, numbers);
  if (script->size() < 2) {
    *error = path + ": the trace holds no sentence of the host";
    return false;
  }
  return true;
}

Replayer::Replayer(int master_fd, ReplayScript script, ReplayOptions options)
    : fd_(master_fd), script_(std::move(script)), options_(std::move(options)) {
  if (script_.empty()) script_.emplace_back();
  matched_.assign(script_.size(), false);
}

Replayer::~Replayer() {
  Stop();
  if (fd_ >= 0) close(fd_);
}

void Replayer::Start() {
  if (thread_.joinable()) return;
  stop_ = false;
  thread_ = std::thread([this] { Run(); });
}

void Replayer::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

bool Replayer::WaitFinished(milliseconds timeout) {
  std::unique_lock<std::mutex> lock(finished_mutex_);
  return finished_cv_.wait_for(lock, timeout, [this] { return finished_; });
}

std::string Replayer::divergence() const {
  std::lock_guard<std::mutex> lock(divergence_mutex_);
  return divergence_;
}

void Replayer::Run() {
  while (!stop_.load() && Cycle()) {
  }
  Finish();
}

void Replayer::Finish() {
  std::lock_guard<std::mutex> lock(finished_mutex_);
  finished_ = true;
  finished_cv_.notify_all();
}

bool Replayer::Cycle() {
  const Clock::time_point now = Clock::now();
  MatchHost(now);
  WriteDue(now);
  if (options_.once && connected_seen_ && !connected_) return false;
  Wait(now);
  return true;
}

void Replayer::Wait(Clock::time_point now) {
  Clock::time_point wake = now + kLongestWait;
  if (!out_.empty()) wake = std::min(wake, out_.front().at);
  const auto wait = std::max(Clock::duration::zero(), wake - now);
  const timespec ts{0, static_cast<long>(std::chrono::nanoseconds(wait).count())};
  const bool want_write = !out_.empty() && out_.front().at <= now;
  pollfd p{fd_, static_cast<short>(POLLIN | (want_write ? POLLOUT : 0)), 0};
  if (ppoll(&p, 1, &ts, nullptr) <= 0) return;
  // The last sentence a host wrote before closing is still to be read.
  if ((p.revents & (POLLIN | POLLHUP)) == (POLLIN | POLLHUP)) ReadHost(Clock::now());
  if (p.revents & POLLHUP) {
    // No host has the port open: what was half received or still to go is lost.
    connected_ = false;
    received_.clear();
    out_.clear();
    out_offset_ = 0;
    timespec idle = ts;
    nanosleep(&idle, nullptr);
    return;
  }
  if (!connected_seen_) Queue(script_.front(), Clock::now());
  connected_ = connected_seen_ = true;
  if (p.revents & POLLIN) ReadHost(Clock::now());
}

void Replayer::ReadHost(Clock::time_point now) {
  char buffer[4096];
  const ssize_t n = read(fd_, buffer, sizeof buffer);
  if (n <= 0 || diverged_flag_) return;
  received_.append(buffer, static_cast<size_t>(n));
  MatchHost(now);
}

// The unmatched step near the first one that the received bytes begin, or may
// still become; npos when none.
size_t Replayer::Candidate(size_t first, bool* whole) const {
  const std::chrono::milliseconds start = script_[first].at;
  for (size_t s = first; s < script_.size() && script_[s].at - start <= kOtherThreadWindow; ++s) {
    if (matched_[s]) continue;
    if (script_[s].at - start > kConcurrentWindow && !FromAnotherThread(first, s)) continue;
    const std::string& want = script_[s].host;
    const size_t n = std::min(received_.size(), want.size());
    if (received_.compare(0, n, want, 0, n) != 0) continue;
    *whole = received_.size() >= want.size();
    return s;
  }
  return std::string::npos;
}

// Whether step `s` may come before the unmatched steps from `first` on: none
// of them is of its command.
bool Replayer::FromAnotherThread(size_t first, size_t s) const {
  const std::string_view command = CommandOf(script_[s].host);
  for (size_t i = first; i < s; ++i) {
    if (!matched_[i] && CommandOf(script_[i].host) == command) return false;
  }
  return true;
}

// The host asking again for what it last asked of that command: its wait ran
// out on a loaded machine. The recorded answer, still on its way, serves the
// repeat as a device's late answer would; it gets none of its own.
bool Replayer::IsRepeat(const std::string& sentence) const {
  const auto last = last_of_command_.find(std::string(CommandOf(sentence)));
  return last != last_of_command_.end() && script_[last->second].host == sentence;
}

void Replayer::MatchHost(Clock::time_point now) {
  while (!diverged_flag_ && !received_.empty()) {
    const size_t first = next_step_.load();
    bool whole = false;
    const size_t s = first < script_.size() ? Candidate(first, &whole) : std::string::npos;
    if (s != std::string::npos) {
      if (!whole) return;
      received_.erase(0, script_[s].host.size());
      matched_[s] = true;
      last_of_command_[std::string(CommandOf(script_[s].host))] = s;
      mismatch_since_.reset();
      Queue(script_[s], now);
      size_t next = first;
      while (next < script_.size() && matched_[next]) ++next;
      next_step_ = next;
      continue;
    }
    const size_t line_end = received_.find('\n');
    if (line_end != std::string::npos && IsRepeat(received_.substr(0, line_end + 1))) {
      received_.erase(0, line_end + 1);
      mismatch_since_.reset();
      continue;
    }
    if (line_end == std::string::npos) {
      if (!mismatch_since_) mismatch_since_ = now;
      if (now - *mismatch_since_ < kRestOfSentenceWait) return;
    }
    ReportDivergence(first,
                     received_.substr(0, line_end == std::string::npos ? line_end : line_end + 1));
  }
}

void Replayer::ReportDivergence(size_t first, const std::string& got) {
  if (first >= script_.size()) {
    Diverge("the host sent a sentence after the trace's last one (line " +
            std::to_string(script_.back().line_number) + "): " + Quoted(got));
    return;
  }
  Diverge("the host's sentence differs from trace line " +
          std::to_string(script_[first].line_number) + ": expected " + Quoted(script_[first].host) +
          ", got " + Quoted(got));
}

void Replayer::Diverge(const std::string& message) {
  diverged_flag_ = true;
  received_.clear();
  out_.clear();
  out_offset_ = 0;
  {
    std::lock_guard<std::mutex> lock(divergence_mutex_);
    divergence_ = message;
  }
  if (options_.on_divergence) options_.on_divergence(message);
}

// Output keeps the trace's order: nothing goes before what was queued earlier.
void Replayer::Queue(const ReplayStep& step, Clock::time_point base) {
  for (const ReplayOutput& output : step.outputs) {
    Clock::time_point at = options_.pace ? base + output.delay : base;
    if (!out_.empty()) at = std::max(at, out_.back().at);
    out_.push_back({at, output.bytes});
  }
}

void Replayer::WriteDue(Clock::time_point now) {
  while (!out_.empty() && out_.front().at <= now) {
    const std::string& bytes = out_.front().bytes;
    const ssize_t w = write(fd_, bytes.data() + out_offset_, bytes.size() - out_offset_);
    if (w < 0) {
      // Full: POLLOUT says when to go on. Otherwise the host has closed the port.
      if (errno != EAGAIN) {
        out_.clear();
        out_offset_ = 0;
      }
      return;
    }
    out_offset_ += static_cast<size_t>(w);
    if (out_offset_ == bytes.size()) {
      out_.pop_front();
      out_offset_ = 0;
    }
  }
}

}  // namespace tessor::devsim
