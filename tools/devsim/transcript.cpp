#include "tools/devsim/transcript.h"

#include <cstdio>

namespace tessor::devsim {

std::string Transcript::Escape(std::string_view bytes) {
  std::string out;
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

void Transcript::BadChecksum(Clock::time_point at, std::string_view sentence) {
  Add(at, '!', "bad checksum, ignored: " + Escape(sentence));
  std::lock_guard<std::mutex> lock(mutex_);
  ++bad_checksums_;
}

uint32_t Transcript::bad_checksums() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bad_checksums_;
}

void Transcript::Add(Clock::time_point at, char direction, std::string text) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(at - start_).count();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%8lld %c ", static_cast<long long>(ms), direction);
  std::lock_guard<std::mutex> lock(mutex_);
  lines_.push_back(stamp + text + "\n");
}

std::string Transcript::Text() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string out;
  for (const std::string& line : lines_) out += line;
  out += "bad checksum commands: " + std::to_string(bad_checksums_) + "\n";
  return out;
}

}  // namespace tessor::devsim
