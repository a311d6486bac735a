// The track download thread: every selected track, in requests of whole
// records, into one NMEA file per track.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/device_engine.h"
#include "engine/string_table.h"
#include "engine/timing.h"
#include "logger/nmea_conversion.h"

namespace tessor {

namespace {
constexpr int kRefusalsToGiveUp = 3;
constexpr int kSilentWaitsToGiveUp = 10;
constexpr int kHeaderRetries = 3;
constexpr int kRequestWaitMs = 2000;
constexpr int kRequestPauseMs = 500;
constexpr int kModePauseMs = 1000;
}  // namespace

int CDeviceEngine::StartTrackDownload() {
  worker_running = true;
  if (!handshake_done.load()) return kResultHandshakeRunning;
  return StartThread(kSlotTrackDownload, &CDeviceEngine::TrackDownloadThread);
}

void CDeviceEngine::TrackDownloadThread() {
  DownloadTracks();
}

bool CDeviceEngine::OpenTrackFile(int index, uint32_t header_value) {
  CloseTrackFile();
  char name[64];
  std::snprintf(name, sizeof name, "%05d_%ld.nmea", index, static_cast<long>(header_value));
  track_file_path = output_folder.empty() ? name : output_folder + "/" + name;
  track_file_ = std::fopen(track_file_path.c_str(), "wb");
  if (track_file_ != nullptr) return true;
  ShowMessage(track_file_path + ": " + std::strerror(errno));
  return false;
}

// Reads the header again before the track. False ends the download; skip is
// set when the device refuses the header.
bool CDeviceEngine::RereadHeader(int index, int* retries, bool* skip) {
  *skip = false;
  const int result = QueryTrackHeader(index);
  char line[256];
  if (result == kResultOk) {
    *retries = 0;
  } else if (result == kResultNoSuchRecord) {
    std::snprintf(line, sizeof line, "%s %d %s", LoadString(186), index, LoadString(187));
    ReportStatusText(line);
    *skip = true;
  } else if (*retries < kHeaderRetries) {
    ++*retries;
    std::snprintf(line, sizeof line, " %s%d", LoadString(181), *retries);
    ReportStatusText(line);
  } else {
    worker_running = false;
    ReportStatus(179);
    return false;
  }
  return true;
}

// The bytes that never came are filled with 0xFF, which the conversion
// reports record by record as time errors.
void CDeviceEngine::GiveTrackUp(int index, uint32_t total) {
  char line[128];
  std::snprintf(line, sizeof line, "%s %ld Data", LoadString(188), static_cast<long>(index));
  ReportStatusText(line);
  ReportStatus(189);
  std::lock_guard<std::mutex> lock(transfer_mutex);
  for (uint32_t i = transfer.write_offset; i < total; ++i) transfer.buffer[i] = 0xFF;
  if (total > transfer.write_offset) transfer.track_bytes += total - transfer.write_offset;
  transfer.write_offset = total;
}

CDeviceEngine::TrackOutcome CDeviceEngine::DownloadTrackBytes(uint32_t start_address,
                                                              uint32_t total,
                                                              uint32_t record_size) {
  AutoResetEvent& answered = event(AnswerEvent::kLog102);
  int refusals = 0, silent = 0;
  uint32_t last_check = 0;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(transfer_mutex);
      const uint32_t remaining = total - transfer.write_offset;
      if (remaining == 0) return TrackOutcome::kComplete;
      const uint32_t limit = kRequestLimit - kRequestLimit % record_size;
      transfer.BeginRequest(std::min(remaining, limit));
      args.request_address = start_address + transfer.write_offset;
      args.request_count = transfer.bytes_expected / record_size;
    }
    args.request_format = static_cast<uint8_t>(record_size == 12 ? 0 : record_size == 16 ? 1 : 2);
    if (SendCommand(102) == kResultWriteFailed) {
      ShowMessage(PortErrorText(last_system_error.load()));
      worker_running = false;
      return TrackOutcome::kStopped;
    }
    if (answered.Wait(TimingScale::Ms(kRequestWaitMs))) {
      ClearB(flag_b::kTransferComplete);
      std::unique_lock<std::mutex> lock(transfer_mutex);
      transfer.first_seen = transfer.complete = false;
      if (transfer.error) {
        transfer.error = false;
        lock.unlock();
        ClearA(flag_a::kLog102Refused);
        if (++refusals >= kRefusalsToGiveUp) return TrackOutcome::kGivenUp;
        TimingScale::Pause(kRequestPauseMs);
      } else {
        refusals = silent = 0;
        if (transfer.write_offset >= total) return TrackOutcome::kComplete;
      }
    } else {
      if (Busy()) {
        ClearB(flag_b::kBusy);
        busy_value = 0;
        TimingScale::Pause(kRequestPauseMs);
      }
      std::lock_guard<std::mutex> lock(transfer_mutex);
      if (transfer.track_bytes == last_check) {
        if (++silent >= kSilentWaitsToGiveUp) return TrackOutcome::kGivenUp;
      } else {
        last_check = transfer.track_bytes;
        silent = refusals = 0;
      }
      transfer.first_seen = transfer.complete = false;
    }
    answered.Reset();
    if (!worker_running.load()) return TrackOutcome::kStopped;
  }
}

void CDeviceEngine::DownloadTracks() {
  transfer.overall_received = 0;
  ignore_blocks = false;
  SetLinkMode(3, true);
  TimingScale::Pause(kModePauseMs);
  int retries = 0;
  uint32_t record_size = 12;
  std::vector<TrackHeaderRecord> headers;
  {
    std::lock_guard<std::mutex> lock(headers_mutex);
    headers = track_headers;
  }
  for (int i = 0; i < static_cast<int>(headers.size()); ++i) {
    const TrackHeaderRecord& h = headers[i];
    if (!h.valid || !h.selected) continue;
    if (!OpenTrackFile(i, h.header_value)) break;
    bool skip = false;
    if (!RereadHeader(i, &retries, &skip)) break;
    if (skip) continue;
    if (RecordSize(h.record_format) != 0) record_size = RecordSize(h.record_format);
    const uint64_t total = uint64_t{h.record_count} * record_size;
    if (total > kTrackBufferSize) {
      // Longer than the logger's transfer buffer can hold: refused whole.
      GiveTrackUp(i, 0);
      continue;
    }
    {
      std::lock_guard<std::mutex> lock(transfer_mutex);
      transfer.BeginTrack(static_cast<uint32_t>(total));
    }
    const TrackOutcome outcome =
        DownloadTrackBytes(h.start_address, static_cast<uint32_t>(total), record_size);
    if (outcome == TrackOutcome::kGivenUp) GiveTrackUp(i, static_cast<uint32_t>(total));
    {
      std::lock_guard<std::mutex> lock(transfer_mutex);
      ConvertTrackToNmea(h.header_value, track_file_, *this, h.record_format,
                         transfer.buffer.data());
    }
    CloseTrackFile();
    {
      std::lock_guard<std::mutex> lock(headers_mutex);
      if (static_cast<size_t>(i) < track_headers.size()) track_headers[i].selected = 0;
    }
    if (!worker_running.load()) break;
  }
  if (!worker_running.load()) {
    std::lock_guard<std::mutex> lock(headers_mutex);
    for (TrackHeaderRecord& h : track_headers) h.selected = 0;
  }
  CloseTrackFile();
  PostNotification(WM_DEV_ENABLE_CONTROLS, 0, 0);
  ignore_blocks = true;
  SetLinkMode(2, false);
  TimingScale::Pause(kModePauseMs);
}

}  // namespace tessor
