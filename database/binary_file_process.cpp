#include "database/binary_file_process.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "database/data_folder.h"
#include "database/file_io.h"
#include "database/message_seam.h"
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

// One CSV line per whole camera; a partial camera at the end is dropped.
std::string FormatCameras(const std::string& bytes) {
  std::string text;
  char line[512];
  for (size_t at = 0; at + kCameraSize <= bytes.size(); at += kCameraSize) {
    const char* p = bytes.data() + at;
    const int n = std::snprintf(line, sizeof line, "%f,%f,%d,%f,%d\r\n", Take<double>(p),
                                Take<double>(p + 8), Take<uint16_t>(p + 16),
                                static_cast<double>(Take<float>(p + 18)), Take<uint8_t>(p + 22));
    if (n > 0 && static_cast<size_t>(n) < sizeof line) text.append(line, static_cast<size_t>(n));
  }
  return text;
}
}  // namespace

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
  return WriteExport(FormatCameras(bytes));
}

}  // namespace tessor
