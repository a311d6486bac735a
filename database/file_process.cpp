#include "database/file_process.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "database/message_seam.h"
#include "engine/string_table.h"

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

struct Line {
  size_t begin = 0, end = 0, next = 0;
};

// The line at pos: up to a CR LF, an LF or a CR, or to the end of the data.
Line LineAt(const std::vector<char>& data, size_t pos) {
  Line line{pos, pos, pos};
  while (line.end < data.size() && data[line.end] != '\r' && data[line.end] != '\n') ++line.end;
  line.next = line.end;
  if (line.next < data.size() && data[line.next] == '\r') ++line.next;
  if (line.next < data.size() && data[line.next] == '\n' &&
      (line.next == line.end || data[line.next - 1] == '\r')) {
    ++line.next;
  }
  return line;
}

bool Blank(const std::vector<char>& data, const Line& line) {
  return std::all_of(data.begin() + static_cast<std::ptrdiff_t>(line.begin),
                     data.begin() + static_cast<std::ptrdiff_t>(line.end),
                     [](char c) { return c == ' ' || c == '\t'; });
}

std::string RefusedText(uint32_t count, uint32_t first, const char* unit) {
  if (count == 1) {
    std::string text = std::string(unit) + " " + std::to_string(first) +
                       " holds no usable record and was skipped.";
    text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
  }
  return std::to_string(count) + " " + unit +
         "s hold no usable record and were skipped; the first is " + unit + " " +
         std::to_string(first) + ".";
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

uint32_t CFileProcess::CountTextLines() const {
  uint32_t count = 0;
  for (size_t pos = 0; pos < data_.size();) {
    const Line line = LineAt(data_, pos);
    if (!Blank(data_, line)) ++count;
    pos = line.next;
  }
  return count;
}

void CFileProcess::RefuseLine() {
  if (bad_lines_++ == 0) first_bad_line_ = line_number_;
}

void CFileProcess::StartCounting() {
  bad_lines_ = first_bad_line_ = line_number_ = 0;
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
  StartCounting();
  std::string text;
  for (size_t pos = 0; pos < data_.size();) {
    const Line line = LineAt(data_, pos);
    pos = line.next;
    ++line_number_;
    if (Blank(data_, line)) continue;
    text.assign(data_.data() + line.begin, std::min(line.end - line.begin, max_line));
    if (skip_header_lines && std::strstr(text.c_str(), "Latitude") != nullptr) continue;
    if (!ParseLine(text.c_str())) return false;
  }
  ReportRefused("line");
  return true;
}

void CFileProcess::ReportRefused(const char* unit) {
  if (bad_lines_ == 0) return;
  ShowMessageBox(caption_.empty() ? LoadString(kStrCaption) : caption_,
                 RefusedText(bad_lines_, first_bad_line_, unit));
}

}  // namespace tessor
