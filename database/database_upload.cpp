#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "database/data_folder.h"
#include "database/file_io.h"
#include "database/image_validation.h"
#include "database/number_text.h"
#include "engine/device_engine.h"
#include "engine/serial_port.h"
#include "engine/string_table.h"
#include "engine/timing.h"

namespace tessor {

namespace {

constexpr const char* kLastUploadUnfinished =
    "The last upload did not finish: the device's database is erased and uploaded again from the "
    "start.";
constexpr const char* kUploadFailed =
    "Failed to upload the DB, please check the connection or the device!!";

bool ReadImageFile(const std::string& path, std::vector<uint8_t>* out, int* error) {
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = errno != 0 ? errno : ENOENT;
    return false;
  }
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace

// Refuses an image that is not one, or that the device cannot hold, before
// the device erases anything: a refused image is never half written.
bool CDeviceEngine::CheckImageBeforeUpload(const std::vector<uint8_t>& image) {
  const ImageVerdict verdict = ValidateImage(image);
  if (!verdict.valid) {
    ReportStatusText("File format is not correct!!");
    ReportStatusText(verdict.reason);
    return false;
  }
  if (image.size() > capacity_limit()) {
    ReportStatusText(
        "Can not upload VELD, VELD size is Biger than the memory size of the device!!");
    ReportStatusText("DB size " + std::to_string(image.size()));
    ReportStatusText("Flash size " + std::to_string(capacity_limit()));
    return false;
  }
  return true;
}

// Sends the image in acknowledged blocks. True when every block was
// acknowledged; false after three misses in a row or when the link went.
bool CDeviceEngine::UploadBlocks(const std::vector<uint8_t>& image, uint32_t block_size) {
  const uint32_t size = static_cast<uint32_t>(image.size());
  uint32_t sent = 0;
  int timeouts = 0;
  AutoResetEvent& acknowledged = event(AnswerEvent::kBlockAck);
  while (sent < size && link_flag.load()) {
    if (timeouts >= 3) return false;
    PostNotification(WM_DEV_PROGRESS, sent, size);
    upload_finished_ = 0;
    const uint32_t n = std::min(block_size, size - sent);
    std::memset(args.block_data, 0, sizeof args.block_data);
    args.block_address = sent;
    args.block_count = n;
    std::memcpy(args.block_data, image.data() + sent, n);
    acknowledged.Reset();
    SendCommand(999);
    if (acknowledged.Wait(transport().WaitMs(timing::kBlockAckWaitMs))) {
      sent += n;
      timeouts = 0;
    } else {
      ++timeouts;
      transport().Pause(timing::kBlockRetryPauseMs);
    }
  }
  PostNotification(WM_DEV_PROGRESS, sent, size);
  return sent == size;
}

// The upload's one end: the finished flag once everything is said, then the
// end notification.
void CDeviceEngine::UploadDatabase() {
  upload_finished_ = 0;
  upload_succeeded_ = false;
  const int end = UploadSteps();
  ReportOperationEnd(OperationKind::kDatabaseUpload, JobEndResult(upload_succeeded_.load()));
  upload_finished_ = 1;
  PostNotification(WM_DEV_OPERATION_END, end, 0);
}

int CDeviceEngine::UploadSteps() {
  const uint32_t block_size = Snapshot(firmware_version) >= 209 ? 128 : 32;
  std::vector<uint8_t> image;
  int error = 0;
  const std::string path = image_path();
  if (!ReadImageFile(path, &image, &error)) {
    ReportStatusText("Can not open " + path + ": " + PortErrorText(error));
    return 1;
  }
  image_size_ = static_cast<uint32_t>(image.size());
  if (!CheckImageBeforeUpload(image)) return 1;
  // Kept beside the download's copy, so that a read-back can be compared.
  const std::string folder = DataFolder();
  const std::string kept = (folder.empty() ? "" : folder + "/") + "ULDB.bin";
  if (!WriteFileWhole(kept, std::string(image.begin(), image.end()))) {
    // The upload goes on; only a later comparison lacks its reference.
    ReportStatusText("Can not write " + kept + ": " + std::strerror(errno));
  }

  // From the erase until the last block is acknowledged the device holds no
  // whole database; a mark says so to the next upload, in this run or a later one.
  const std::string mark = (folder.empty() ? "" : folder + "/") + "upload.unfinished";
  if (access(mark.c_str(), F_OK) == 0) ReportStatusText(kLastUploadUnfinished);
  if (!WriteFileWhole(mark, path + "\n")) {
    ReportStatusText("Can not write " + mark + ": " + std::strerror(errno));
  }
  erasing = 0;
  if (SetLinkMode(LinkMode::kUpload, false) != kResultOk) {
    ReportStatusText(kUploadFailed);
    return 0;
  }
  WaitEraseDone();
  ReportStatusText("Upload DataBase.");
  const auto start = std::chrono::steady_clock::now();
  if (!UploadBlocks(image, block_size)) {
    // Three misses in a row leave a partial image on the device; a link
    // that went says so in the list.
    if (link_flag.load()) {
      ShowMessage(kUploadFailed);
      return 1;
    }
    ReportStatusText(kUploadFailed);
    return 0;
  }
  const double minutes =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / 60.0;
  ReportStatusText(FormatNumbers("Upload Time: %.1f min", minutes));
  std::remove(mark.c_str());
  upload_succeeded_ = true;
  ReportStatusText("Finished uploading VELD Data.");
  return 0;
}

void CDeviceEngine::DatabaseUploadThread() {
  UploadDatabase();
}

}  // namespace tessor
