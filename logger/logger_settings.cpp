#include "logger/logger_settings.h"

#include "engine/device_engine.h"
#include "engine/timing.h"

namespace tessor {

ResultCode CallWithTries(CDeviceEngine& e, int tries, TryPacing pacing,
                         const std::function<ResultCode()>& attempt) {
  ResultCode result = kResultNoAnswer;
  for (int i = 0; i < tries; ++i) {
    result = attempt();
    if (result == kResultOk) break;
    if (pacing == TryPacing::kPaused) e.transport().Pause(timing::kSettingTryPauseMs);
  }
  return result;
}

ResultCode QueryLoggerConfigWithTries(CDeviceEngine& e, LoggerConfig* out, TryPacing pacing) {
  return CallWithTries(e, kProcedureTries, pacing, [&e, out] { return e.QueryLoggerConfig(out); });
}

void EnterSettingMode(CDeviceEngine& e) {
  // Link mode shows no message, answered or not.
  e.SetLinkMode(LinkMode::kLink, false);
  e.transport().Pause(timing::kSettingModeSettleMs);
}

ResultCode SetAlertRangesWithTries(CDeviceEngine& e, int critical, int notification) {
  EnterSettingMode(e);
  if (notification - critical < kAlertRangeMinimumGap) return kResultBadArgument;
  const ResultCode result = CallWithTries(e, kProcedureTries, TryPacing::kPaused,
                                          [&] { return e.SetAlertRanges(critical, notification); });
  if (result == kResultOk) e.transport().Pause(timing::kAlertRangesSavedPauseMs);
  return result;
}

}  // namespace tessor
