#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/trace_format.h"
#include "tools/devsim/pacing.h"

namespace tessor::devsim {

// Both directions of the line with millisecond time stamps from the start, in
// the trace format that tessorctl --trace writes too, so a simulator session
// decodes and replays like a recorded one.
class Transcript {
 public:
  explicit Transcript(Clock::time_point start) : start_(start) {}

  void Host(Clock::time_point at, std::string_view bytes) {
    Add(at, trace::Direction::kHost, bytes);
  }
  void Device(Clock::time_point at, std::string_view bytes) {
    Add(at, trace::Direction::kDevice, bytes);
  }
  void BadChecksum(Clock::time_point at, std::string_view sentence);
  void Note(Clock::time_point at, std::string_view note) { Add(at, trace::Direction::kNote, note); }

  uint32_t bad_checksums() const;
  // The whole trace, ending with a comment that counts the commands ignored
  // for their checksum.
  std::string Text() const;
  std::vector<trace::Line> Lines() const;

  static std::string Escape(std::string_view bytes) { return trace::Escape(bytes); }

 private:
  void Add(Clock::time_point at, trace::Direction direction, std::string_view bytes);

  Clock::time_point start_;
  mutable std::mutex mutex_;
  std::vector<trace::Line> lines_;
  uint32_t bad_checksums_ = 0;
};

}  // namespace tessor::devsim
