#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

#include "engine/result_codes.h"
#include "engine/timing.h"

namespace tessor {

// What the engine talks to: one device line, and the clock its protocol pauses
// run on. The termios port is one; a recorder wraps another. Every call reports
// failure by its return value and keeps errno in last_error(); none throws.
class Transport {
 public:
  enum class WaitResult { kReadable, kTimeout, kLost };

  Transport() = default;
  virtual ~Transport() = default;
  Transport(const Transport&) = delete;
  Transport& operator=(const Transport&) = delete;

  // Returns 0, 3 (cannot open, or held by another program) or 15 (settings refused).
  virtual ResultCode Open(const std::string& path) = 0;
  virtual void Close() = 0;
  virtual bool is_open() const = 0;

  // Bytes queued in the driver; -1 on failure.
  virtual long QueuedBytes() = 0;
  // Reads up to `count` bytes; returns the number read, -1 on failure.
  virtual long Read(uint8_t* data, size_t count) = 0;
  // Writes one whole sentence; true only when every byte was taken within the time.
  virtual bool Write(const char* data, size_t count, int timeout_ms) = 0;
  // Waits up to `timeout_ms` for input, or until wake_fd (when given) becomes
  // readable; a hang-up or error on the line is kLost.
  virtual WaitResult WaitReadable(int timeout_ms, int wake_fd = -1) = 0;

  virtual int last_error() const = 0;

  // A protocol time (ms at real speed) on this transport's clock: the process's
  // scale factor, unless the transport has a clock of its own.
  virtual int WaitMs(int protocol_ms) const {
    const double factor = time_scale_.load();
    if (factor <= 0) return TimingScale::Ms(protocol_ms);
    if (protocol_ms <= 0) return 0;
    const int scaled = static_cast<int>(protocol_ms * factor);
    return scaled < 1 ? 1 : scaled;
  }
  // One fixed pause of the protocol.
  virtual void Pause(int protocol_ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(WaitMs(protocol_ms)));
  }

  // Gives this transport its own clock: protocol times multiplied by factor,
  // never below 1 ms, as the process's scale does. 0 returns to the process's.
  void SetTimeScale(double factor) { time_scale_.store(factor); }
  double time_scale() const { return time_scale_.load(); }

 private:
  std::atomic<double> time_scale_{0.0};
};

}  // namespace tessor
