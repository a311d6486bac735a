#include "database/binary_file_process.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "database/data_folder.h"
#include "database/file_io.h"
#include "database/message_seam.h"
#include "database/number_text.h"
#include "engine/string_table.h"

namespace tessor {

namespace {
constexpr size_t kMagicEnd = 5;
constexpr size_t kCameraSize = 23;

template <typename T>
T Take(const char* bytes) {
  T value;
  std::memcpy(&value, bytes, sizeof value);  // the list is little-endian, as is the host
  return value;
}

bool Finite(const char* p) {
  return std::isfinite(Take<double>(p)) && std::isfinite(Take<double>(p + 8)) &&
         std::isfinite(Take<float>(p + 18));
}
}  // namespace

// One CSV line per whole camera; a partial camera at the end is dropped, and
// so is one with a number that is not finite (counted).
std::string CBinaryFileProcess::FormatCameras(const std::string& bytes) {
  std::string text;
  StartCounting();
  for (size_t at = 0; at + kCameraSize <= bytes.size(); at += kCameraSize) {
    const char* p = bytes.data() + at;
    ++line_number_;
    if (!Finite(p)) {
      RefuseLine();
      continue;
    }
    text += FormatNumbers("%f,%f,%d,%f,%d\r\n", Take<double>(p), Take<double>(p + 8),
                          Take<uint16_t>(p + 16), static_cast<double>(Take<float>(p + 18)),
                          Take<uint8_t>(p + 22));
  }
  return text;
}

bool CBinaryFileProcess::CheckHeader() {
  if (file_ < 0) return false;
  char head[kMagicEnd] = {};
  size_t done = 0;
  while (done < kMagicEnd) {
    const ssize_t n = pread(file_, head + done, kMagicEnd - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  output_length_ = kMagicEnd;
  return std::memcmp(head + 1, "%CDB", 4) == 0;
}

bool CBinaryFileProcess::ReadRest(std::string& bytes) {
  char buffer[4096];
  off_t at = static_cast<off_t>(kMagicEnd);
  for (;;) {
    const ssize_t n = pread(file_, buffer, sizeof buffer, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      FailWithSystemError(errno);
      return false;
    }
    if (n == 0) return true;
    bytes.append(buffer, static_cast<size_t>(n));
    at += n;
  }
}

bool CBinaryFileProcess::WriteExport(const std::string& cameras) {
  if (output_path_.empty()) {
    const std::string folder = DataFolder();
    if (folder.empty()) {
      output_failed_ = true;
      FailWithSystemError(ENOENT);
      return false;
    }
    output_path_ = folder + "/OutPut.csv";
  }
  if (WriteFileWhole(output_path_, std::string(kCameraHeader) + "\r\n" + cameras)) return true;
  output_failed_ = true;
  FailWithSystemError(errno);
  return false;
}

bool CBinaryFileProcess::OpenAndRead(const std::string& path, int access, int disposition) {
  if (caption_.empty()) caption_ = LoadString(kStrCaption);
  output_failed_ = false;
  output_length_ = 0;
  if (!OpenFile(path, access, disposition)) return false;
  if (!CheckHeader()) {
    ShowMessageBox(caption_, kDbFormatMessage);
    CloseFile();
    return false;
  }
  std::string bytes;
  const bool read_ok = ReadRest(bytes);
  CloseFile();
  if (!read_ok) return false;
  output_length_ += bytes.size() - bytes.size() % kCameraSize;
  const std::string cameras = FormatCameras(bytes);
  ReportRefused("camera");
  return WriteExport(cameras);
}

}  // namespace tessor
