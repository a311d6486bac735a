#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "database/data_folder.h"
#include "database/database_image.h"
#include "database/file_io.h"
#include "engine/device_engine.h"
#include "engine/string_table.h"

namespace tessor {

namespace {

std::string DataFile(const char* name) {
  const std::string folder = DataFolder();
  return folder.empty() ? std::string(name) : folder + "/" + name;
}

// Reads a file whole; a missing file is created empty, as the comparison
// expects, and an unreadable one counts as empty.
std::vector<uint8_t> ReadOrCreate(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::ofstream(path, std::ios::binary | std::ios::app);
    return {};
  }
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Places a read piece at its offset in the image being rebuilt.
void Place(std::vector<uint8_t>* image, uint64_t offset, const std::vector<uint8_t>& bytes) {
  if (image->size() < offset + bytes.size()) image->resize(offset + bytes.size(), 0);
  std::copy(bytes.begin(), bytes.end(), image->begin() + static_cast<std::ptrdiff_t>(offset));
}

}  // namespace

bool CDeviceEngine::CompareImageFiles(const std::string& uploaded, const std::string& downloaded) {
  return CompareImages(ReadOrCreate(uploaded), ReadOrCreate(downloaded));
}

bool CDeviceEngine::CompareImages(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size()) {
    ReportStatusText("Data size is not identical");
    return false;
  }
  const auto diff = std::mismatch(a.begin(), a.end(), b.begin());
  if (diff.first != a.end()) {
    ReportStatusText("Data is not identical at offset " + std::to_string(diff.first - a.begin()));
    return false;
  }
  return true;
}

// Header, index and points, each placed at its offset in the rebuilt image.
// Returns false after the failing step has added its line.
bool CDeviceEngine::DownloadSteps(std::vector<uint8_t>* image) {
  ReportStatusText("Download DB Header...Process");
  if (ReadDatabaseHeader() != kResultOk) {
    ReportStatusText("Download DB Header...Failure");
    return false;
  }
  Place(image, 0, read_buffer);
  ReportStatusText("Download DB Header...Done", true);

  ReportStatusText("Download DB index...Processing");
  if (ReadDatabaseIndex() != kResultOk) {
    ReportStatusText("Download DB index..Failure");
    return false;
  }
  Place(image, kIndexOffset, read_buffer);
  ReportStatusText("Download DB index..Done", true);

  ReportStatusText("Download SCPoint data...Processing");
  if (ReadPointData() != kResultOk) {
    ReportStatusText("Download SCPoint data...Failure");
    return false;
  }
  Place(image, database_info.first_entry.point_offset, read_buffer);
  ReportStatusText("Download SCPoint data...Done", true);
  return true;
}

// The image goes to its caller in memory and to DLDB.bin under a name of its
// own, renamed into place; the comparison takes the image read, never
// DLDB.bin, which a download on another device may have replaced meanwhile.
void CDeviceEngine::DownloadDatabase() {
  upload_finished_ = 0;
  download_succeeded_ = false;
  database_download_finished_ = false;
  SetImagePath("");
  TakeDownloadedImage();
  const std::string downloaded = DataFile("DLDB.bin");
  std::vector<uint8_t> image;
  bool whole = false;
  // Comparing stale files after an unacknowledged mode would report success
  // for a read that never happened.
  if (SetLinkMode(LinkMode::kOperation, true) == kResultOk) {
    whole = DownloadSteps(&image);
    if (whole) {
      whole = WriteFileWhole(downloaded, std::string(image.begin(), image.end()));
      if (!whole) ReportStatusText("Can not write " + downloaded + ": " + std::strerror(errno));
    }
  } else {
    ReportStatusText("Download DB Header...Failure");
  }
  if (whole && download_compares_upload_ &&
      CompareImages(ReadOrCreate(DataFile("ULDB.bin")), image)) {
    ShowMessage("They are Identical !!");
  }
  if (whole) {
    std::lock_guard<std::mutex> lock(image_mutex_);
    downloaded_image_ = std::move(image);
  }
  download_succeeded_ = whole;
  ReportOperationEnd(OperationKind::kDatabaseDownload, JobEndResult(whole));
  database_download_finished_ = true;
  PostNotification(WM_DEV_DOWNLOAD_END, 0, whole ? 1 : 0);
}

void CDeviceEngine::DatabaseDownloadThread() {
  DownloadDatabase();
}

}  // namespace tessor
