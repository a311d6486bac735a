#include "tools/devsim/transcript.h"

namespace tessor::devsim {

void Transcript::BadChecksum(Clock::time_point at, std::string_view sentence) {
  Add(at, trace::Direction::kNote, "bad checksum, ignored: " + std::string(sentence));
  std::lock_guard<std::mutex> lock(mutex_);
  ++bad_checksums_;
}

uint32_t Transcript::bad_checksums() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bad_checksums_;
}

void Transcript::Add(Clock::time_point at, trace::Direction direction, std::string_view bytes) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at - start_).count();
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.push_back(trace::Line{static_cast<long long>(ms), direction, std::string(bytes)});
}

std::string Transcript::Text() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string out = std::string(trace::kHeader) + "\n";
  for (const trace::Line& line : lines_) out += trace::FormatLine(line);
  out += "# bad checksum commands: " + std::to_string(bad_checksums_) + "\n";
  return out;
}

std::vector<trace::Line> Transcript::Lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

}  // namespace tessor::devsim
