#pragma once

#include <cstdint>
#include <string>

#include "engine/engine_state.h"
#include "engine/result_codes.h"

namespace tessor {

// How the engine reaches the user. The desktop program forwards these to its
// GUI thread, the command-line tool prints them, tests record them. Calls come
// from the engine's threads.
class EngineObserver {
 public:
  virtual ~EngineObserver() = default;
  // A new status line, or one that replaces the last (replace_last).
  virtual void OnStatusLine(const std::string& text, bool replace_last) = 0;
  // A notification (WM_DEV_...) with its two integers, in the order posted.
  virtual void OnNotification(int id, int64_t first, int64_t second) = 0;
  // A message box raised on an engine thread: caption and text, information icon.
  virtual void OnMessageBox(const std::string& caption, const std::string& text) = 0;
  // The engine asks the program to close (the binary-protocol stop).
  virtual void OnCloseRequest() = 0;
  // A job on its own thread has ended. Reported on that thread after the
  // job's last status line and before its end notification, so a caller that
  // waits for the notification has the result already: kResultOk
  // when it did all it was asked, kResultPortNotOpen when the link went down,
  // kResultNoAnswerRetries otherwise (the device, a file, or a stop).
  virtual void OnOperationEnd(OperationKind /*kind*/, ResultCode /*result*/) {}
};

}  // namespace tessor
