#include "database/file_process.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "database/message_seam.h"

namespace tessor {

namespace {
int OpenFlags(int access, int disposition) {
  int flags = access == kAccessWrite ? O_WRONLY : access == kAccessReadWrite ? O_RDWR : O_RDONLY;
  switch (disposition) {
    case kCreateNew:
      return flags | O_CREAT | O_EXCL;
    case kCreateAlways:
      return flags | O_CREAT | O_TRUNC;
    case kOpenAlways:
      return flags | O_CREAT;
    case kTruncateExisting:
      return flags | O_TRUNC;
    default:
      return flags;
  }
}
}  // namespace

CFileProcess::~CFileProcess() {
  CloseFile();
}

bool CFileProcess::ParseLine(const char* /*line*/) {
  return true;
}

bool CFileProcess::OpenFile(const std::string& path, int access, int disposition) {
  CloseFile();
  file_ = open(path.c_str(), OpenFlags(access, disposition) | O_CLOEXEC, 0644);
  if (file_ < 0) {
    FailWithSystemError(errno);
    return false;
  }
  return true;
}

void CFileProcess::CloseFile() {
  if (file_ >= 0) close(file_);
  file_ = -1;
}

void CFileProcess::FailWithSystemError(int error_number) {
  last_error_ = static_cast<uint32_t>(error_number);
  ShowSystemError(error_number);
}

bool CFileProcess::ReadWholeFile(const std::string& path, int access, int disposition) {
  data_.clear();
  if (!OpenFile(path, access, disposition)) return false;
  struct stat st {};
  if (fstat(file_, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int error_number = S_ISDIR(st.st_mode) ? EISDIR : errno;
    CloseFile();
    FailWithSystemError(error_number);
    return false;
  }
  data_.assign(static_cast<size_t>(st.st_size), 0);
  size_t done = 0;
  while (done < data_.size()) {
    const ssize_t n = read(file_, data_.data() + done, data_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error_number = n < 0 ? errno : EIO;
      data_.clear();
      CloseFile();
      FailWithSystemError(error_number);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  CloseFile();
  return true;
}

bool CFileProcess::OpenAndRead(const std::string& path, int access, int disposition) {
  if (!ReadWholeFile(path, access, disposition)) return false;
  output_.clear();
  output_length_ = 0;
  return ParseAllLines();
}

bool CFileProcess::LoadBuffer(const void* bytes, size_t length) {
  const char* begin = static_cast<const char*>(bytes);
  if (begin == nullptr) length = 0;
  data_.assign(begin, begin + length);
  output_.clear();
  output_length_ = 0;
  return ParseAllLines();
}

bool CFileProcess::ParseAllLines() {
  return RunLineLoop(200, false);
}

uint32_t CFileProcess::CountLines() {
  uint32_t count = 0;
  for (size_t i = 0; i + 1 < data_.size(); ++i) {
    if (data_[i] == '\r' && data_[i + 1] == '\n') ++count;
  }
  return count;
}

bool CFileProcess::DataContains(std::string_view text) const {
  return std::string_view(data_.data(), data_.size()).find(text) != std::string_view::npos;
}

bool CFileProcess::CheckHeader() {
  if (DataContains(kCameraHeader)) return true;
  ShowMessageBox(caption_, kDbFormatMessage);
  return false;
}

bool CFileProcess::RunLineLoop(size_t max_line, bool skip_header_lines) {
  const size_t n = data_.size();
  std::string line;
  size_t pos = 0;
  while (pos < n) {
    size_t end = pos;
    while (end < n && data_[end] != '\r') ++end;
    line.assign(data_.data() + pos, std::min(end - pos, max_line));
    pos = end;
    if (pos < n) ++pos;                        // the CR
    if (pos < n && data_[pos] == '\n') ++pos;  // its LF
    if (skip_header_lines && std::strstr(line.c_str(), "Latitude") != nullptr) continue;
    if (!ParseLine(line.c_str())) return false;
  }
  return true;
}

}  // namespace tessor
