// The track download thread: every selected track, in requests of whole
// records, into one NMEA file per track.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "database/file_io.h"
#include "engine/device_engine.h"
#include "engine/string_table.h"
#include "engine/timing.h"
#include "logger/nmea_conversion.h"
#include "logger/track_resume.h"

namespace tessor {

namespace {
constexpr int kRefusalsToGiveUp = 3;
constexpr int kSilentWaitsToGiveUp = 10;
constexpr int kHeaderRetries = 3;
constexpr int kRequestWaitMs = 2000;
constexpr int kRequestPauseMs = 500;
constexpr int kModePauseMs = 1000;
}  // namespace

ResultCode CDeviceEngine::StartTrackDownload() {
  worker_running = true;
  if (!handshake_done_.load()) return kResultHandshakeRunning;
  return StartThread(kSlotTrackDownload, &CDeviceEngine::TrackDownloadThread);
}

void CDeviceEngine::TrackDownloadThread() {
  DownloadTracks();
}

std::string CDeviceEngine::TrackFilePath(int index, uint32_t date) const {
  const std::string name = TrackFileName(index, date);
  return output_folder.empty() ? name : output_folder + "/" + name;
}

uint64_t CDeviceEngine::TrackBytesToCome() const {
  const std::vector<TrackHeaderRecord> headers = track_table().headers;
  uint64_t total = 0;
  for (size_t i = 0; i < headers.size(); ++i) {
    const TrackHeaderRecord& h = headers[i];
    if (!h.valid || !h.selected) continue;
    const std::string path = TrackFilePath(static_cast<int>(i), h.header_value);
    if (track_resume_.load() && FindResumePoint(path, h).complete) continue;
    total += uint64_t{h.record_count} * RecordSize(h.record_format);
  }
  return total;
}

// The file is written under a temporary name and renamed when the track is
// done, so a stopped download never leaves half a file under the final name.
bool CDeviceEngine::OpenTrackFile(const std::string& path) {
  CloseTrackFile();
  track_file_path = path;
  track_file_size_ = 0;
  track_file_check_ = kFnvOffset;
  // A part name of this download's own: a user's file is never overwritten.
  const int fd = CreatePartFile(track_file_path, &track_part_path_);
  if (fd >= 0) {
    track_file_ = fdopen(fd, "wb");
    if (track_file_ != nullptr) return true;
    close(fd);
    std::remove(track_part_path_.c_str());
  }
  track_file_failed_ = true;
  ShowMessage(track_file_path + ": " + std::strerror(errno));
  return false;
}

// A listed file holds the track's data, read back as it was written; a
// refused track's empty file stays on disk but is not listed as written.
bool CDeviceEngine::FinishTrackFile(bool keep, bool list) {
  // A write that failed on the way (a full disk) leaves the stream's error set.
  const bool written =
      track_file_ != nullptr && std::fflush(track_file_) == 0 && !std::ferror(track_file_);
  CloseTrackFile();
  const std::string& part = track_part_path_;
  if (keep && written && std::rename(part.c_str(), track_file_path.c_str()) == 0) {
    if (list && !ReadBackTrackFile()) return false;
    std::lock_guard<std::mutex> lock(headers_mutex_);
    if (list) files_written_.push_back(track_file_path);
    return true;
  }
  if (keep) {
    track_file_failed_ = true;
    ReportStatusText("Can not write " + track_file_path + ": " + std::strerror(errno));
  }
  std::remove(part.c_str());
  return false;
}

// A file is only as good as what can be read back from the disk.
bool CDeviceEngine::ReadBackTrackFile() {
  if (FileHasCheck(track_file_path, track_file_size_, track_file_check_)) return true;
  track_file_failed_ = true;
  ReportStatusText("Can not write " + track_file_path +
                   ": the file read back is not what was written");
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
    std::snprintf(line, sizeof line, "%s %d %s", LoadString(kStrCantGetTrack), index,
                  LoadString(kStrTrackSkipped));
    ReportStatusText(line);
    *skip = true;
  } else if (*retries < kHeaderRetries) {
    ++*retries;
    std::snprintf(line, sizeof line, " %s%d", LoadString(kStrRetryConfigQuery), *retries);
    ReportStatusText(line);
  } else {
    worker_running = false;
    ReportStatus(kStrNoLoggerResponse);
    return false;
  }
  return true;
}

void CDeviceEngine::ReportTrackLost(int index) {
  char line[128];
  std::snprintf(line, sizeof line, "%s %ld Data", LoadString(kStrCantGetTrackNo),
                static_cast<long>(index));
  ReportStatusText(line);
  ReportStatus(kStrTrackMayBeLost);
  ++tracks_lost_;
}

// The bytes that never came are 0xFF, which the conversion reports record by
// record as time errors.
void CDeviceEngine::FillMissing(uint32_t total) {
  std::lock_guard<std::mutex> lock(transfer_mutex);
  for (uint32_t i = transfer.write_offset; i < total; ++i) transfer.buffer[i] = 0xFF;
  if (total > transfer.write_offset) transfer.track_bytes += total - transfer.write_offset;
  transfer.write_offset = total;
}

// Asks for the next request of the piece; false when the piece is whole.
bool CDeviceEngine::NextRequest(uint32_t start_address, uint32_t total, uint32_t record_size) {
  std::lock_guard<std::mutex> lock(transfer_mutex);
  const uint32_t remaining = total - transfer.write_offset;
  if (remaining == 0) return false;
  const uint32_t wanted = std::clamp<uint32_t>(request_limit, record_size, 65520);
  const uint32_t limit = wanted - wanted % record_size;
  transfer.BeginRequest(std::min(remaining, limit));
  args.request_address = start_address + transfer.write_offset;
  args.request_count = transfer.bytes_expected / record_size;
  args.request_format = static_cast<uint8_t>(record_size == 12 ? 0 : record_size == 16 ? 1 : 2);
  return true;
}

// A request that timed out without a byte was sent again unchanged; if the
// device was only slow, every send is answered, and a later answer must not
// be taken for the next request's (blocks carry no address). So once the
// device is answering again, everything is dropped until each send since
// `base` has had its answer. A send the device never took can only be told
// from a late one by time: the line quiet for a whole real request wait.
void CDeviceEngine::DrainStaleAnswers(uint32_t base, uint32_t sends) {
  uint32_t request_bytes;
  {
    std::lock_guard<std::mutex> lock(transfer_mutex);
    transfer.discard = true;
    request_bytes = transfer.bytes_expected;
  }
  const auto quiet = std::chrono::milliseconds(kRequestWaitMs);
  // Bounded by twice the line time of every answer owed at 57600 baud with
  // the blocks' framing, each with a quiet wait.
  const auto owed =
      std::chrono::milliseconds(2 * (sends + 1) * (uint64_t{request_bytes} * 256 / 240 / 5 + 1000));
  const auto give_up = WakeSignal::Clock::now() + quiet + owed;
  const auto answered = [&] {
    std::lock_guard<std::mutex> lock(transfer_mutex);
    return transfer.answers.begun - base >= sends && !transfer.answers.open;
  };
  // Each block wakes the wait; the quiet time counts from the last one.
  while (worker_running.load()) {
    const uint64_t seen = wake_.Count();
    if (answered()) break;
    const auto last =
        WakeSignal::Clock::time_point(WakeSignal::Clock::duration(transfer.last_block_ns.load()));
    const auto until = std::min(give_up, last + quiet);
    if (WakeSignal::Clock::now() >= until) break;
    wake_.WaitChange(seen, until);
  }
  std::lock_guard<std::mutex> lock(transfer_mutex);
  transfer.discard = false;
  transfer.error = false;
  ClearA(flag_a::kLog102Refused);
  event(AnswerEvent::kLog102).Reset();
}

// A wait in which the answer's blocks still came is extended: asking again
// while the device is still sending would only leave one more answer owed.
bool CDeviceEngine::WaitForTrackAnswer(AutoResetEvent& answered) {
  uint32_t seen = 0;
  while (!answered.Wait(transport().WaitMs(kRequestWaitMs))) {
    std::lock_guard<std::mutex> lock(transfer_mutex);
    if (!worker_running.load() || transfer.bytes_received == seen) return false;
    seen = transfer.bytes_received;
  }
  return true;
}

CDeviceEngine::TrackOutcome CDeviceEngine::DownloadTrackBytes(uint32_t start_address,
                                                              uint32_t total,
                                                              uint32_t record_size) {
  AutoResetEvent& answered = event(AnswerEvent::kLog102);
  int refusals = 0, silent = 0;
  uint32_t last_check = 0;
  // Sends since the device last owed nothing, and the answers begun before them.
  uint32_t sends = 0, base = 0;
  while (NextRequest(start_address, total, record_size)) {
    if (sends++ == 0) {
      std::lock_guard<std::mutex> lock(transfer_mutex);
      base = transfer.answers.begun;
    }
    if (SendCommand(102) == kResultWriteFailed) {
      ShowMessage(PortErrorText(last_system_error_.load()));
      worker_running = false;
      return TrackOutcome::kStopped;
    }
    const bool signalled = WaitForTrackAnswer(answered);
    if (!signalled && Busy()) {
      // A busy device has taken no request: it is waited for, and nothing counts.
      ClearB(flag_b::kBusy);
      busy_value = 0;
      --sends;
      transport().Pause(kRequestPauseMs);
      answered.Reset();
      if (!worker_running.load()) return TrackOutcome::kStopped;
      continue;
    }
    bool heard;
    uint32_t answered_sends;
    {
      std::lock_guard<std::mutex> lock(transfer_mutex);
      heard = signalled || transfer.first_seen || transfer.bytes_received > 0;
      answered_sends = transfer.answers.begun - base;
    }
    if (heard) {
      if (answered_sends < sends) DrainStaleAnswers(base, sends);
      sends = 0;
    }
    if (signalled) {
      ClearB(flag_b::kTransferComplete);
      std::unique_lock<std::mutex> lock(transfer_mutex);
      transfer.first_seen = transfer.complete = false;
      const bool progressed = transfer.bytes_received > 0;
      if (transfer.error) {
        transfer.error = false;
        lock.unlock();
        ClearA(flag_a::kLog102Refused);
        // A gap after new bytes is a corrupted block, not a refusal: only a
        // request that brought nothing counts towards giving up.
        refusals = progressed ? 0 : refusals + 1;
        if (refusals >= kRefusalsToGiveUp) return TrackOutcome::kGivenUp;
        transport().Pause(kRequestPauseMs);
      } else {
        refusals = silent = 0;
      }
    } else {
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
  return TrackOutcome::kComplete;
}

// One track in pieces of at most the transfer buffer, each converted as it
// comes; after a piece is given up the rest of the track is not asked for.
// Records kept from a stopped download are converted first and not asked for.
CDeviceEngine::TrackOutcome CDeviceEngine::DownloadTrack(int index, const TrackHeaderRecord& h,
                                                         uint32_t record_size,
                                                         std::vector<uint8_t> kept) {
  NmeaTrackConverter converter(
      h.header_value, h.record_format,
      [this](std::string_view line) {
        if (track_file_ == nullptr) return;
        std::fwrite(line.data(), 1, line.size(), track_file_);
        const auto* bytes = reinterpret_cast<const uint8_t*>(line.data());
        track_file_check_ = Fnv1a({bytes, line.size()}, track_file_check_);
        track_file_size_ += line.size();
      },
      [this](const std::string& line) { ReportStatusText(line); });
  track_records_ = std::move(kept);
  converter.Convert(track_records_);
  transfer.overall_received.fetch_add(static_cast<uint32_t>(track_records_.size()));
  const uint64_t total = uint64_t{h.record_count} * record_size;
  const uint32_t buffer = std::max(track_buffer_size, record_size);
  const uint32_t piece_max = buffer - buffer % record_size;
  TrackOutcome outcome = TrackOutcome::kComplete;
  for (uint64_t offset = track_records_.size();
       offset < total && outcome != TrackOutcome::kStopped;) {
    const auto piece = static_cast<uint32_t>(std::min<uint64_t>(total - offset, piece_max));
    {
      std::lock_guard<std::mutex> lock(transfer_mutex);
      transfer.BeginTrack(piece);
    }
    if (outcome == TrackOutcome::kComplete) {
      outcome =
          DownloadTrackBytes(h.start_address + static_cast<uint32_t>(offset), piece, record_size);
      if (outcome == TrackOutcome::kGivenUp) ReportTrackLost(index);
    }
    if (outcome == TrackOutcome::kGivenUp) FillMissing(piece);
    std::lock_guard<std::mutex> lock(transfer_mutex);
    const std::span<const uint8_t> got(transfer.buffer.data(), transfer.track_bytes);
    converter.Convert(got);
    // The filled gap of a lost piece is nothing a later download may go on from.
    if (outcome != TrackOutcome::kGivenUp) {
      track_records_.insert(track_records_.end(), got.begin(), got.end());
    }
    offset += piece;
  }
  converter.Finish();
  return outcome;
}

// Records how a selected track ended; a whole one is one fewer unfinished.
void CDeviceEngine::EndTrack(int index, TrackEnd end) {
  if (end == TrackEnd::kWritten || end == TrackEnd::kAlreadyWritten) --tracks_unfinished_;
  std::lock_guard<std::mutex> lock(headers_mutex_);
  for (TrackResult& r : track_ends_) {
    if (r.index == index) r.end = end;
  }
  // A track is unmarked only after its file is listed; a refused track keeps
  // its mark, which is how a page tells its empty file from a written one.
  if (end != TrackEnd::kRefused && static_cast<size_t>(index) < track_headers_.size()) {
    track_headers_[index].selected = 0;
  }
}

// While the folder's download is unfinished, each track's note says how far
// it got: a whole track its file, a stopped one the records received.
void CDeviceEngine::KeepTrackNote(const TrackHeaderRecord& h, TrackOutcome outcome, bool whole) {
  TrackNote note;
  note.date = h.header_value;
  note.format = h.record_format;
  note.record_count = h.record_count;
  note.start_address = h.start_address;
  const uint32_t record_size = RecordSize(h.record_format);
  if (whole) {
    note.complete = true;
    note.file_size = track_file_size_;
    note.file_check = track_file_check_;
  } else if (outcome == TrackOutcome::kStopped && record_size != 0 && !track_records_.empty()) {
    track_records_.resize(track_records_.size() - track_records_.size() % record_size);
    note.records = std::move(track_records_);
  } else {
    RemoveTrackNote(track_file_path);  // nothing of it can be taken over
    return;
  }
  // A note that cannot be written only means the track is asked for again.
  WriteTrackNote(track_file_path, note);
}

// One selected track; false ends the download.
bool CDeviceEngine::DownloadOneTrack(int index, const TrackHeaderRecord& h, int* retries,
                                     uint32_t* record_size) {
  const std::string path = TrackFilePath(index, h.header_value);
  ResumePoint resume;
  if (track_resume_.load()) resume = FindResumePoint(path, h);
  if (resume.complete) {
    ReportStatusText(path + ": whole from an earlier download, not asked for again");
    {
      std::lock_guard<std::mutex> lock(headers_mutex_);
      files_written_.push_back(path);
    }
    EndTrack(index, TrackEnd::kAlreadyWritten);
    return true;
  }
  if (!OpenTrackFile(path)) return false;
  bool skip = false;
  if (!RereadHeader(index, retries, &skip)) {
    FinishTrackFile(false);
    return false;
  }
  if (skip) {
    FinishTrackFile(true, false);  // the refused track's file stays, empty
    EndTrack(index, TrackEnd::kRefused);
    return true;
  }
  if (RecordSize(h.record_format) != 0) *record_size = RecordSize(h.record_format);
  const TrackOutcome outcome = DownloadTrack(index, h, *record_size, std::move(resume.records));
  const bool kept = FinishTrackFile(outcome != TrackOutcome::kStopped);
  TrackEnd end = TrackEnd::kWritten;
  if (outcome == TrackOutcome::kStopped) {
    end = TrackEnd::kStopped;
  } else if (!kept) {
    end = TrackEnd::kFileFailed;
  } else if (outcome == TrackOutcome::kGivenUp) {
    end = TrackEnd::kLost;
  } else if (!link_flag.load()) {
    end = TrackEnd::kStopped;
  }
  KeepTrackNote(h, outcome, end == TrackEnd::kWritten);
  EndTrack(index, end);
  return true;
}

void CDeviceEngine::RemoveRunNotes(const std::vector<TrackHeaderRecord>& headers) {
  for (size_t i = 0; i < headers.size(); ++i) {
    if (headers[i].valid && headers[i].selected) {
      RemoveTrackNote(TrackFilePath(static_cast<int>(i), headers[i].header_value));
    }
  }
}

void CDeviceEngine::DownloadTracks() {
  transfer.overall_received = 0;
  tracks_lost_ = 0;
  track_file_failed_ = false;
  std::vector<TrackHeaderRecord> headers;
  {
    std::lock_guard<std::mutex> lock(headers_mutex_);
    files_written_.clear();
    track_ends_.clear();
    headers = track_headers_;
    for (size_t i = 0; i < headers.size(); ++i) {
      if (headers[i].valid && headers[i].selected) track_ends_.push_back({static_cast<int>(i)});
    }
    tracks_unfinished_ = static_cast<int>(track_ends_.size());
  }
  ignore_blocks = false;
  SetLinkMode(LinkMode::kLink, true);
  transport().Pause(kModePauseMs);
  int retries = 0;
  uint32_t record_size = 12;
  for (int i = 0; i < static_cast<int>(headers.size()); ++i) {
    const TrackHeaderRecord& h = headers[i];
    if (!h.valid || !h.selected) continue;
    if (!DownloadOneTrack(i, h, &retries, &record_size)) break;
    if (!worker_running.load()) break;
  }
  if (!worker_running.load()) {
    std::lock_guard<std::mutex> lock(headers_mutex_);
    for (TrackHeaderRecord& h : track_headers_) h.selected = 0;
  }
  // A folder whose download ended whole holds only its track files.
  if (tracks_unfinished_.load() == 0 && !track_file_failed_.load()) RemoveRunNotes(headers);
  PostNotification(WM_DEV_ENABLE_CONTROLS, 0, 0);
  ignore_blocks = true;
  SetLinkMode(LinkMode::kOperation, false);
  transport().Pause(kModePauseMs);
  ReportOperationEnd(OperationKind::kTrackDownload,
                     JobEndResult(tracks_unfinished_.load() == 0 && !track_file_failed_.load()));
}

}  // namespace tessor
