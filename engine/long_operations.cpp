#include <cstdio>

#include "engine/device_engine.h"
#include "engine/string_table.h"
#include "engine/timing.h"

namespace tessor {

ResultCode CDeviceEngine::QueryTrackHeader(int index, TrackHeaderAnswer* header) {
  AutoResetEvent& answered = event(AnswerEvent::kLog101);
  while (link_flag.load()) {
    ClearB(flag_b::kTrackHeader);
    ClearA(flag_a::kLog101None);
    args.header_index = index;
    const ResultCode sent = SendCommand(101);
    if (sent == kResultBadArgument || sent == kResultUnknownCommand) return kResultNoAnswerRetries;
    if (answered.Wait(transport().WaitMs(timing::kTrackHeaderWaitMs))) {
      busy_flag = true;
      const bool got_header = flags_b.load() & flag_b::kTrackHeader;
      const bool none = flags_a.load() & flag_a::kLog101None;
      if (got_header) ClearB(flag_b::kTrackHeader);
      if (none && !got_header) ClearA(flag_a::kLog101None);
      answered.Reset();
      busy_flag = false;
      if (got_header && header != nullptr) *header = Snapshot(track_header);
      if (got_header) return kResultOk;
      if (none) return kResultNoSuchRecord;
      continue;  // signalled without an answer of ours: ask again
    }
    if (!Busy()) return kResultNoAnswerRetries;
    // A busy device is waited for without counting a try.
    ClearB(flag_b::kBusy);
    busy_value = 0;
    transport().Pause(timing::kBusyRetryPauseMs);
  }
  return kResultNoAnswerRetries;
}

// Sends a command and waits for its event, up to `rounds` time-outs while the
// link holds. True when the event came.
bool CDeviceEngine::WaitRounds(AnswerEvent e, int rounds, int wait_ms, int command) {
  for (int timeouts = 0; timeouts < rounds && link_flag.load();) {
    SendCommand(command);
    if (event(e).Wait(transport().WaitMs(wait_ms))) return true;
    ++timeouts;
  }
  return false;
}

ResultCode CDeviceEngine::QueryDeviceName() {
  event(AnswerEvent::kLog111).Reset();
  return WaitRounds(AnswerEvent::kLog111, 5, timing::kDeviceNameWaitMs, 111) ? kResultOk
                                                                             : kResultNoAnswer;
}

ResultCode CDeviceEngine::SetLinkMode(LinkMode mode, bool notify) {
  args.link_mode = mode;
  if (mode != LinkMode::kLink) SetLogSwitches(0, 0);
  transport().Pause(timing::kLinkModePauseMs);
  {
    std::lock_guard<std::mutex> lock(answer_mutex);
    log113_result = 0;
  }
  event(AnswerEvent::kLog113).Reset();
  if (!WaitRounds(AnswerEvent::kLog113, 3, timing::kLinkModeWaitMs, 113)) return kResultNoAnswer;
  if (mode != LinkMode::kLink && notify) ShowMessage(LoadString(kStrOperationMode));
  return kResultOk;
}

void CDeviceEngine::QueryVersion() {
  if (!WaitRounds(AnswerEvent::kVersion, 3, timing::kVersionWaitMs, kCommandVersion)) return;
  // A repeated answer may still be coming in on the link thread.
  const int version = Snapshot(firmware_version);
  const int memory = Snapshot(capacity);
  char line[256];
  std::snprintf(line, sizeof line, "%s  %d    %d", LoadString(kStrQueryVersionOk), version, memory);
  ReportStatusText(line);
}

void CDeviceEngine::WaitEraseDone() {
  AutoResetEvent& report = event(AnswerEvent::kEraseDone);
  PostNotification(WM_DEV_ERASE_BUSY, 0, 0);
  report.Reset();
  erasing = 1;
  while (link_flag.load()) {
    upload_finished_ = 0;
    if (report.Wait(transport().WaitMs(timing::kEraseReportWaitMs))) {
      PostNotification(WM_DEV_ERASE_BUSY, 0, 0);
      ReportStatus(kStrEraseProcessing);
    } else {
      PostNotification(WM_DEV_ERASE_DONE, 0, 0);
      ReportStatus(kStrEraseDone, true);
      break;
    }
    transport().Pause(timing::kEraseRoundPauseMs);
  }
  erasing = 0;
}

void CDeviceEngine::SetOutputFolder(const std::string& path) {
  output_folder = path;
  if (output_folder.size() > 1 && output_folder.back() == '/') output_folder.pop_back();
}

ResultCode CDeviceEngine::StartDatabaseUpload() {
  worker_running = true;
  return StartThread(kSlotDatabaseUpload, &CDeviceEngine::DatabaseUploadThread);
}

ResultCode CDeviceEngine::StartDatabaseDownload() {
  worker_running = true;
  return StartThread(kSlotDatabaseDownload, &CDeviceEngine::DatabaseDownloadThread);
}

}  // namespace tessor
