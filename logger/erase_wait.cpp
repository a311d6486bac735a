#include "logger/erase_wait.h"

#include "engine/device_engine.h"
#include "engine/timing.h"

namespace tessor {

namespace {
// How often the wait hears a stop and shows the time: the caller's pace, not
// the device's, so it is not scaled.
constexpr int kWatchRoundMs = 100;
}  // namespace

EraseEnd WaitEraseEnd(CDeviceEngine& e, const EraseWatch& watch) {
  using Clock = std::chrono::steady_clock;
  using std::chrono::milliseconds;
  const Transport& clock = e.transport();
  AutoResetEvent& report = e.event(AnswerEvent::kEraseDone);
  report.Reset();
  const auto start = Clock::now();
  const auto limit = watch.limit_ms > 0 ? start + milliseconds(clock.WaitMs(watch.limit_ms))
                                        : Clock::time_point::max();
  // A report restarts the quiet wait after the pause between rounds.
  const milliseconds after_report(
      clock.WaitMs(timing::kEraseQuietWaitMs + timing::kEraseRoundPauseMs));
  auto quiet_at = start + milliseconds(clock.WaitMs(timing::kEraseQuietWaitMs));
  while (e.link_flag.load()) {
    if (watch.stop_requested && watch.stop_requested()) return EraseEnd::kStopped;
    if (watch.each_round) {
      watch.each_round(std::chrono::duration_cast<milliseconds>(Clock::now() - start));
    }
    if (report.Wait(kWatchRoundMs)) {
      quiet_at = Clock::now() + after_report;
    } else if (Clock::now() >= quiet_at) {
      return EraseEnd::kQuiet;
    }
    if (Clock::now() >= limit) return EraseEnd::kStillErasing;
  }
  return EraseEnd::kLineLost;
}

}  // namespace tessor
