#pragma once

#include <functional>

#include "engine/engine_fields.h"
#include "engine/result_codes.h"

namespace tessor {

class CDeviceEngine;

// The setting jobs that the logger and alert pages and tessorctl share: each
// runs on the caller's thread (never the GUI thread) and returns a result code.

// Tries of a query or a setting before the caller gives up.
inline constexpr int kProcedureTries = 10;
// The least the notification range may lie above the critical range, in metres.
inline constexpr int kAlertRangeMinimumGap = 200;

// Whether the tries of a query wait between them.
enum class TryPacing { kPaused, kBackToBack };

// Calls `attempt` up to `tries` times until it returns kResultOk, pausing after
// each miss when paced; returns the last try's result.
ResultCode CallWithTries(CDeviceEngine& e, int tries, TryPacing pacing,
                         const std::function<ResultCode()>& attempt);

// The logger configuration (command 108) in up to ten tries; *out holds it on
// kResultOk.
ResultCode QueryLoggerConfigWithTries(CDeviceEngine& e, LoggerConfig* out,
                                      TryPacing pacing = TryPacing::kPaused);

// Link mode 3 and the pause for the device to settle in it: the bracket before
// a setting. The setting follows whether or not the device answered.
void EnterSettingMode(CDeviceEngine& e);

// Sets the alert ranges the way the alert page does: the setting mode, the
// gap rule (kResultBadArgument, with no setting sent), up to ten tries, and
// the pause for the device to save them after success.
ResultCode SetAlertRangesWithTries(CDeviceEngine& e, int critical, int notification);

}  // namespace tessor
