#include "tools/devsim/pacing.h"

#include <algorithm>

namespace tessor::devsim {

Clock::duration WirePacer::ByteTimes(size_t n) {
  return std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(static_cast<double>(n) / kWireBytesPerSecond));
}

void WirePacer::StartSending(Clock::time_point now) {
  send_free_ = std::max(send_free_, now);
}

Clock::time_point WirePacer::SendReadyAt(size_t n) const {
  if (!enabled_) return Clock::time_point{};
  return send_free_ + ByteTimes(n);
}

void WirePacer::Sent(size_t n, Clock::time_point now) {
  // Counting from the wire's own schedule, not from `now`, keeps late wake-ups
  // from slowing the line down.
  send_free_ = enabled_ ? send_free_ + ByteTimes(n) : now;
}

Clock::time_point WirePacer::Arrival(Clock::time_point read_at) {
  if (!enabled_) return read_at;
  receive_free_ = std::max(receive_free_, read_at) + ByteTimes(1);
  return receive_free_;
}

}  // namespace tessor::devsim
