#include "engine/device_engine.h"
#include "engine/string_table.h"
#include "engine/timing.h"

namespace tessor {

void CDeviceEngine::ResetForConnect() {
  link_flag = false;
  operation_running = false;
  {
    std::lock_guard<std::mutex> lock(headers_mutex_);
    track_headers_.clear();
    valid_headers_.clear();
  }
  transport().Pause(timing::kConnectPauseMs);
  if (worker_running.load()) {
    worker_running = false;
    transport().Pause(timing::kConnectPauseMs);
  }
  // The previous link thread ends on the cleared flag; it must be gone before
  // the ring and the receiver are reset under it.
  StopThread(kSlotLink);
  receiver.Reset();
  ring.Clear();
  link_status = 0;
  queued_commands = 0;
  flags_a = 0;
  flags_b = 0;
  ClosePort();
}

ResultCode CDeviceEngine::Connect(int number) {
  connect_progress_ = false;
  device_name_present = false;
  ResultCode result = kResultOk;
  if (link_flag.load() && number == port_number) {
    busy_flag = false;
    result = kResultAlreadyRunning;
  } else {
    ResetForConnect();
    port_number = static_cast<uint8_t>(number);
    const ResultCode opened = OpenPort();
    if (opened != kResultOk) return opened;
    link_flag = true;
    busy_flag = false;
    if (StartThread(kSlotLink, &CDeviceEngine::LinkThread) != kResultOk) {
      link_flag = false;
      return kResultThreadStart;
    }
  }
  if (operation_running.load()) return kResultAlreadyRunning;
  // A handshake that has just ended may still be leaving its loop: it must be
  // gone before the flag that keeps it looping is set again.
  if (!JoinEnded(kSlotHandshake)) return kResultAlreadyRunning;

  {
    std::lock_guard<std::mutex> lock(headers_mutex_);
    total_track_data_size_ = 0;
  }
  transfer.overall_received = 0;
  operation_running = true;
  ignore_blocks = true;
  if (worker_running.load()) {
    worker_running = false;
    transport().Pause(timing::kConnectPauseMs);
  }
  transport().Pause(timing::kConnectPauseMs);

  if (QueryFlashUsage(nullptr) == kResultNoAnswer) {
    link_flag = false;
    operation_running = false;
    ReportStatus(kStrNoDataIn);
    PostNotification(WM_DEV_OPERATION_END, 1, 0);
    return kResultDeviceSilent;
  }
  // Waiters on the handshake must not see the previous one's end.
  handshake_done_ = false;
  track_table_read_ = false;
  if (StartThread(kSlotHandshake, &CDeviceEngine::HandshakeThread) != kResultOk) {
    operation_running = false;
    return kResultThreadStart;
  }
  device_name_present = QueryDeviceName() == kResultOk && !Snapshot(device_name).empty();
  transport().Pause(timing::kConnectPauseMs);
  QueryVersion();
  transport().Pause(timing::kConnectPauseMs);
  if (QueryDatabaseInfo() == kResultOk) return result;

  ReportStatus(kStrNoVeld);
  PostNotification(WM_DEV_PROGRESS_RESET, 0, 0);
  PostNotification(WM_DEV_OPERATION_END, 1, 0);
  connect_progress_ = true;
  return kResultNoDatabase;
}

// One round of the configuration phase: ask for "LOG108" and, when it comes,
// size the header table. Returns false when the handshake has to end.
bool CDeviceEngine::HandshakeConfigurationStep(int* retries, bool* headers_phase) {
  ClearB(flag_b::kConfiguration);
  std::unique_lock<std::mutex> preset(answer_mutex);
  config.speed_filter = -1;
  config.position_value = -1;
  config.data_type = 0;
  config.memory_full = 1;
  config.log_type = 0;
  config.log_interval = 15;
  config.value6 = 0;
  for (uint32_t& v : config.value9_14) v = 0;
  config.track_header_count = 0;
  preset.unlock();
  AutoResetEvent& answered = event(AnswerEvent::kLog108);
  answered.Reset();
  QueueCommand(queue_bit::k108);
  if (answered.Wait(transport().WaitMs(timing::kConfigWaitMs))) {
    busy_flag = true;
    if (flags_b.load() & flag_b::kConfiguration) {
      ClearB(flag_b::kConfiguration);
      const uint32_t n = Snapshot(config.track_header_count);
      std::lock_guard<std::mutex> lock(headers_mutex_);
      track_headers_.assign(n, TrackHeaderRecord{});
      valid_headers_.clear();
      args.header_index = static_cast<int32_t>(n) - 1;
      *headers_phase = true;
    }
    answered.Reset();
    busy_flag = false;
    *retries = 0;
  } else if (Busy()) {
    ClearB(flag_b::kBusy);
    busy_value = 0;
  } else if (*retries >= 3) {
    // The loop ends on the cleared flag and leaves the link mode as usual.
    operation_running = false;
    ReportStatusText("Connection failure, please check device");
    handshake_ended_ = true;
  } else {
    ++*retries;
  }
  transport().Pause(timing::kHandshakeStepPauseMs);
  return true;
}

void CDeviceEngine::FinishHeaders() {
  // The list is whole before the flags say so: readers wait on the flags.
  {
    std::lock_guard<std::mutex> lock(headers_mutex_);
    valid_headers_.clear();
    for (uint32_t i = 0; i < track_headers_.size(); ++i) {
      if (track_headers_[i].valid) valid_headers_.push_back(i);
    }
  }
  // The line comes first: whoever waits on the done flag finds it said.
  ReportStatus(kStrConnectionComplete);
  track_table_read_ = true;
  operation_running = false;
  handshake_ended_ = true;
}

// One round of the header phase, from the last header down to 0.
bool CDeviceEngine::HandshakeHeaderStep(int* retries) {
  size_t count;
  {
    std::lock_guard<std::mutex> lock(headers_mutex_);
    count = track_headers_.size();
  }
  if (count == 0) {
    ReportStatus(kStrConnectionComplete);
    track_table_read_ = true;
    operation_running = false;
    SetLinkMode(LinkMode::kOperation, false);
    handshake_done_ = true;
    transport().Pause(timing::kHandshakeNoTracksPauseMs);
    return false;
  }
  const int index = args.header_index;
  TrackHeaderAnswer answer;
  const int result = QueryTrackHeader(index, &answer);
  if (result == kResultOk || result == kResultNoSuchRecord) {
    TrackHeaderRecord record;
    if (result == kResultOk) {
      record.valid = 1;
      record.header_value = answer.header_value;
      record.record_format = answer.record_format;
      record.record_count = answer.record_count;
      record.start_address = answer.start_address;
    }
    {
      std::lock_guard<std::mutex> lock(headers_mutex_);
      total_track_data_size_ += record.record_count * RecordSize(record.record_format);
      if (static_cast<size_t>(index) < track_headers_.size()) track_headers_[index] = record;
    }
    if (index > 0) {
      args.header_index = index - 1;
    } else {
      FinishHeaders();
    }
  } else if (*retries >= 3) {
    ReportStatus(kStrConnectionFailure);
    operation_running = false;
    handshake_ended_ = true;
  } else {
    ++*retries;
  }
  transport().Pause(timing::kHandshakeStepPauseMs);
  return true;
}

void CDeviceEngine::HandshakeThread() {
  handshake_done_ = false;
  handshake_ended_ = false;
  track_table_read_ = false;
  connect_progress_ = true;
  SetLinkMode(LinkMode::kLink, true);
  transport().Pause(timing::kHandshakeStartPauseMs);
  bool headers_phase = false;
  int retries = 0;
  bool left_link_mode = false;  // a device without tracks is let go at once
  while (operation_running.load() && !left_link_mode) {
    transport().Pause(timing::kHandshakeRoundPauseMs);
    left_link_mode = !(headers_phase ? HandshakeHeaderStep(&retries)
                                     : HandshakeConfigurationStep(&retries, &headers_phase));
  }
  if (!left_link_mode) EndHandshake();
  ReportOperationEnd(OperationKind::kHandshake,
                     JobEndResult(handshake_done_.load() && track_table_read_.load()));
}

// Out of link mode first, then done: whoever starts a job on the done flag
// must not have its own mode change crossed by this one. A handshake stopped
// by a disconnect is not done.
void CDeviceEngine::EndHandshake() {
  SetLinkMode(LinkMode::kOperation, false);
  if (handshake_ended_) handshake_done_ = true;
  transport().Pause(timing::kHandshakeEndPauseMs);
}

ResultCode CDeviceEngine::Disconnect() {
  operation_running = false;
  transport().Pause(timing::kDisconnectPauseMs);
  worker_running = false;
  transport().Pause(timing::kDisconnectPauseMs);
  link_flag = false;
  transport().Pause(timing::kDisconnectPauseMs);
  CloseTrackFile();
  ClosePort();
  return kResultOk;
}

}  // namespace tessor
