#pragma once

#include <atomic>
#include <chrono>
#include <thread>

namespace tessor {

// Every fixed pause and time-out of the device protocol, in milliseconds at
// real speed, in one place. Tests run the engine with a scale factor below 1.
namespace timing {
// Link thread.
inline constexpr int kLinkPollMs = 100;
inline constexpr int kWriteTimeoutMs = 2000;
inline constexpr int kRefusalPauseMs = 100;
// Threads.
inline constexpr int kStopThreadWaitMs = 5000;
// Short operations: sleeps after a queued command.
inline constexpr int kQueuedAnswerMs = 300;
// How long a queued command may wait for the link thread to write it.
inline constexpr int kQueuedSendLimitMs = 5000;
inline constexpr int kLoggerConfigAnswerMs = 500;
inline constexpr int kAlertRangesAnswerMs = 2000;
inline constexpr int kFlashUsageWaitMs = 3000;
// Long operations.
inline constexpr int kTrackHeaderWaitMs = 5000;
inline constexpr int kBusyRetryPauseMs = 100;
inline constexpr int kDeviceNameWaitMs = 3000;
inline constexpr int kLinkModePauseMs = 100;
inline constexpr int kLinkModeWaitMs = 3000;
inline constexpr int kVersionWaitMs = 3000;
inline constexpr int kEraseReportWaitMs = 3000;
inline constexpr int kEraseQuietWaitMs = 2000;
inline constexpr int kEraseRoundPauseMs = 500;
// Connect, handshake and disconnect.
inline constexpr int kConnectPauseMs = 100;
inline constexpr int kDisconnectPauseMs = 200;
inline constexpr int kHandshakeStartPauseMs = 1000;
inline constexpr int kHandshakeRoundPauseMs = 500;
inline constexpr int kConfigWaitMs = 2000;
inline constexpr int kHandshakeStepPauseMs = 100;
inline constexpr int kHandshakeNoTracksPauseMs = 3000;
inline constexpr int kHandshakeEndPauseMs = 1000;
// Setting procedures of the logger and alert pages and tessorctl.
// The device takes a setting only once it has settled in link mode 3.
inline constexpr int kSettingModeSettleMs = 3000;
// Between two tries of a query or a setting the device did not take.
inline constexpr int kSettingTryPauseMs = 100;
// The detector writes saved alert ranges to its flash before the next command.
inline constexpr int kAlertRangesSavedPauseMs = 500;
// Lets the wait box appear before a page's first device call.
inline constexpr int kWaitBoxPauseMs = 200;
// A logger that still reports erasing after this will not stop by itself.
inline constexpr int kEraseLimitMs = 10 * 60 * 1000;
// Database transfer.
inline constexpr int kBlockAckWaitMs = 500;
inline constexpr int kBlockRetryPauseMs = 1000;
inline constexpr int kReadPieceWaitMs = 3000;
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
