#pragma once

#include <chrono>
#include <cstddef>

namespace tessor::devsim {

using Clock = std::chrono::steady_clock;

// 57600 baud, 8N1: ten bit times per byte.
inline constexpr double kWireBytesPerSecond = 5760.0;

// Holds both directions of the line to the wire rate. Disabled, every byte
// leaves and arrives at once.
class WirePacer {
 public:
  explicit WirePacer(bool enabled) : enabled_(enabled) {}

  bool enabled() const { return enabled_; }

  // The line starts sending again after being idle.
  void StartSending(Clock::time_point now);
  // When the next n bytes will have left the wire as a whole.
  Clock::time_point SendReadyAt(size_t n) const;
  void Sent(size_t n, Clock::time_point now);

  // When a byte read at `read_at` would have fully arrived: after the one
  // before it, one byte time later.
  Clock::time_point Arrival(Clock::time_point read_at);

 private:
  static Clock::duration ByteTimes(size_t n);

  bool enabled_;
  Clock::time_point send_free_{};
  Clock::time_point receive_free_{};
};

}  // namespace tessor::devsim
