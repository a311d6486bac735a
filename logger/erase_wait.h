#pragma once

#include <chrono>
#include <functional>

namespace tessor {

class CDeviceEngine;

// How the wait for the end of a log erase ended.
enum class EraseEnd {
  kQuiet,         // the device stopped reporting: the erase is over
  kLineLost,      // the link went down; the device may still be erasing
  kStopped,       // the caller stopped waiting; the device goes on erasing
  kStillErasing,  // the device still reported erasing at the limit
};

// What the caller sees of the wait and how it may end it early.
struct EraseWatch {
  // Called about ten times a second with the time since the wait began.
  std::function<void(std::chrono::milliseconds elapsed)> each_round;
  // Asked as often; true ends the wait.
  std::function<bool()> stop_requested;
  // Protocol ms after which a device that still reports is given up; 0: none,
  // the wait then ends only on quiet, the line or a stop.
  int limit_ms = 0;
};

// Follows the device's erase reports once the erase (command 109) was taken:
// the erase is over with the first quiet wait after the pause that follows a
// report, also when no report comes at all. Call it off the GUI thread.
EraseEnd WaitEraseEnd(CDeviceEngine& e, const EraseWatch& watch = {});

}  // namespace tessor
