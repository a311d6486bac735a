#include "engine/trace_format.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace tessor::trace {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsDirection(char c) {
  return c == 'H' || c == 'D' || c == '!';
}

std::string_view StripLineEnd(std::string_view text) {
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  return text;
}

// Writes all of DATA, retrying short writes and interruptions.
bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace

std::string Escape(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b == '\r') {
      out += "\\r";
    } else if (b == '\n') {
      out += "\\n";
    } else if (b == '\\') {
      out += "\\\\";
    } else if (b < 0x20 || b > 0x7E) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

bool Unescape(std::string_view text, std::string* bytes) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out.push_back(text[i]);
      continue;
    }
    if (++i >= text.size()) return false;
    const char e = text[i];
    if (e == 'r') {
      out.push_back('\r');
    } else if (e == 'n') {
      out.push_back('\n');
    } else if (e == '\\') {
      out.push_back('\\');
    } else if (e == 'x' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
               HexDigit(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2])));
      i += 2;
    } else {
      return false;
    }
  }
  *bytes = std::move(out);
  return true;
}

std::string FormatLine(const Line& line) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%8lld %c ", line.ms, static_cast<char>(line.direction));
  return stamp + Escape(line.bytes) + "\n";
}

bool ParseLine(std::string_view text, Line* line) {
  text = StripLineEnd(text);
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  const size_t first_digit = i;
  long long ms = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (ms > 1'000'000'000'000LL) return false;  // no session runs that long
    ms = ms * 10 + (text[i] - '0');
  }
  if (i == first_digit || i + 2 > text.size() || text[i] != ' ' || !IsDirection(text[i + 1])) {
    return false;
  }
  const auto direction = static_cast<Direction>(text[i + 1]);
  i += 2;
  // The blank after the direction; an empty line of bytes may have lost it to an editor.
  if (i < text.size() && text[i++] != ' ') return false;
  std::string bytes;
  if (!Unescape(text.substr(i), &bytes)) return false;
  line->ms = ms;
  line->direction = direction;
  line->bytes = std::move(bytes);
  return true;
}

bool ParseTrace(std::string_view text, std::vector<Line>* lines, std::string* error,
                std::vector<size_t>* numbers) {
  lines->clear();
  if (numbers != nullptr) numbers->clear();
  size_t number = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view raw =
        text.substr(0, end == std::string_view::npos ? text.size() : end + 1);
    text.remove_prefix(raw.size());
    ++number;
    const std::string_view content = StripLineEnd(raw);
    if (number == 1 && content != kHeader) {
      *error = "not a trace: the first line is not \"" + std::string(kHeader) + "\"";
      return false;
    }
    if (content.empty() || content.front() == '#') continue;
    Line line;
    if (!ParseLine(content, &line)) {
      *error = "line " + std::to_string(number) + ": malformed trace line";
      return false;
    }
    lines->push_back(std::move(line));
    if (numbers != nullptr) numbers->push_back(number);
  }
  if (number == 0) {
    *error = "not a trace: the file is empty";
    return false;
  }
  return true;
}

bool ReadTrace(const std::string& path, std::vector<Line>* lines, std::string* error,
               std::vector<size_t>* numbers) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    *error = "cannot read " + path;
    return false;
  }
  if (!ParseTrace(text.str(), lines, error, numbers)) {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

TraceWriter::~TraceWriter() {
  if (is_open()) Close();
}

bool TraceWriter::Open(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (fd_ >= 0) return false;
  const std::string side = path + ".part";
  const int fd = ::open(side.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  fd_ = fd;
  path_ = path;
  write_failed_ = !WriteAll(fd_, std::string(kHeader) + "\n");
  start_ = std::chrono::steady_clock::now();
  return true;
}

void TraceWriter::Record(Direction direction, std::string_view bytes) {
  const auto now = std::chrono::steady_clock::now();
  std::lock_guard<std::mutex> lock(mutex_);
  if (fd_ < 0) return;
  Line line;
  line.ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - start_).count();
  line.direction = direction;
  line.bytes = std::string(bytes);
  // Straight to the kernel: a crash after this line still leaves it in the file.
  if (!WriteAll(fd_, FormatLine(line))) write_failed_ = true;
}

void TraceWriter::Note(std::string_view text) {
  Record(Direction::kNote, text);
}

bool TraceWriter::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (fd_ < 0) return false;
  bool ok = !write_failed_;
  if (::close(fd_) != 0) ok = false;
  fd_ = -1;
  const std::string side = path_ + ".part";
  // A trace with lost lines stays under its side name, so nobody takes it for whole.
  if (ok && std::rename(side.c_str(), path_.c_str()) != 0) ok = false;
  return ok;
}

bool TraceWriter::is_open() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return fd_ >= 0;
}

const std::string& TraceWriter::path() const {
  return path_;
}

}  // namespace tessor::trace
