#include "engine/device_engine.h"

namespace tessor {

void CDeviceEngine::ClearJobEnds() {
  upload_finished_ = 0;
  connect_progress_ = false;
  database_download_finished_ = false;
}

TrackTable CDeviceEngine::track_table() const {
  std::lock_guard<std::mutex> lock(headers_mutex_);
  return TrackTable{track_headers_, valid_headers_, total_track_data_size_};
}

// A new selection is for the next download: the last one's files are no
// longer its files, and a page must not list them as the new ones.
void CDeviceEngine::SelectTracks(const std::vector<int>& indices) {
  std::lock_guard<std::mutex> lock(headers_mutex_);
  files_written_.clear();
  track_ends_.clear();
  // A track skipped in an earlier download keeps its mark: only this choice counts.
  for (TrackHeaderRecord& h : track_headers_) h.selected = 0;
  for (const int i : indices) {
    if (i < 0 || static_cast<size_t>(i) >= track_headers_.size()) continue;
    if (track_headers_[i].valid != 0) track_headers_[i].selected = 1;
  }
}

void CDeviceEngine::SelectAllTracks() {
  std::lock_guard<std::mutex> lock(headers_mutex_);
  files_written_.clear();
  track_ends_.clear();
  for (TrackHeaderRecord& h : track_headers_) h.selected = h.valid != 0 ? 1 : 0;
}

TrackDownloadSummary CDeviceEngine::track_download_summary() const {
  TrackDownloadSummary summary;
  summary.lost = tracks_lost_.load();
  summary.unfinished = tracks_unfinished_.load();
  summary.file_failed = track_file_failed_.load();
  std::lock_guard<std::mutex> lock(headers_mutex_);
  summary.files = files_written_;
  summary.tracks = track_ends_;
  return summary;
}

const char* TrackEndText(TrackEnd end) {
  switch (end) {
    case TrackEnd::kWritten:
    case TrackEnd::kAlreadyWritten:
      return "";
    case TrackEnd::kLost:
      return "part of it never came";
    case TrackEnd::kRefused:
      return "the logger refused it";
    case TrackEnd::kStopped:
      return "the download stopped before its end";
    case TrackEnd::kFileFailed:
      return "its file was not written whole";
    case TrackEnd::kNotReached:
      break;
  }
  return "the download never reached it";
}

DeviceSummary CDeviceEngine::device_summary() const {
  DeviceSummary summary;
  {
    std::lock_guard<std::mutex> lock(answer_mutex);
    summary.name = device_name;
    summary.firmware_version = firmware_version;
    summary.capacity = capacity;
    summary.flash_usage = flash_usage;
  }
  summary.coverage = coverage;
  {
    std::lock_guard<std::mutex> lock(headers_mutex_);
    summary.track_count = track_headers_.size();
  }
  summary.garbled_sentences = receiver.checksum_drops();
  summary.garbled_blocks = receiver.block_checksum_drops();
  return summary;
}

void CDeviceEngine::SetImagePath(std::string path) {
  std::lock_guard<std::mutex> lock(image_mutex_);
  image_path_ = std::move(path);
}

std::string CDeviceEngine::image_path() const {
  std::lock_guard<std::mutex> lock(image_mutex_);
  return image_path_;
}

std::vector<uint8_t> CDeviceEngine::TakeDownloadedImage() {
  std::lock_guard<std::mutex> lock(image_mutex_);
  return std::move(downloaded_image_);
}

bool CDeviceEngine::WaitForPositionText(std::chrono::steady_clock::time_point until) const {
  return wake_.WaitUntil(until, [this] { return (flags_b.load() & flag_b::kPositionText) != 0; });
}

}  // namespace tessor
