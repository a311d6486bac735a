#pragma once

#include <atomic>
#include <chrono>
#include <thread>

namespace tessor {

// Every fixed pause and time-out of the device protocol, in milliseconds at
// real speed. Tests run the engine with a scale factor below 1.
namespace timing {
inline constexpr int kLinkPollMs = 100;
inline constexpr int kRefusalPauseMs = 100;
inline constexpr int kWriteTimeoutMs = 2000;
}  // namespace timing

class TimingScale {
 public:
  static void Set(double factor) { factor_.store(factor); }
  static double Get() { return factor_.load(); }
  // A protocol time scaled for this run; never below 1 ms when the real one isn't 0.
  static int Ms(int real_ms) {
    if (real_ms <= 0) return 0;
    const int scaled = static_cast<int>(real_ms * factor_.load());
    return scaled < 1 ? 1 : scaled;
  }
  static void Pause(int real_ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(Ms(real_ms)));
  }

 private:
  static inline std::atomic<double> factor_{1.0};
};

}  // namespace tessor
