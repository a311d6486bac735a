#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "tools/devsim/pacing.h"

namespace tessor::devsim {

// Both directions of the line with millisecond time stamps from the start.
// Lines read "<ms> H <bytes>" (host to device), "<ms> D <bytes>" (device to
// host) and "<ms> ! <note>"; control and non-ASCII bytes appear as \r, \n, \xHH.
class Transcript {
 public:
  explicit Transcript(Clock::time_point start) : start_(start) {}

  void Host(Clock::time_point at, std::string_view bytes) { Add(at, 'H', Escape(bytes)); }
  void Device(Clock::time_point at, std::string_view bytes) { Add(at, 'D', Escape(bytes)); }
  void BadChecksum(Clock::time_point at, std::string_view sentence);
  void Note(Clock::time_point at, std::string_view note) { Add(at, '!', std::string(note)); }

  uint32_t bad_checksums() const;
  // The whole transcript, ending with the count of commands ignored for their checksum.
  std::string Text() const;

  static std::string Escape(std::string_view bytes);

 private:
  void Add(Clock::time_point at, char direction, std::string text);

  Clock::time_point start_;
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  uint32_t bad_checksums_ = 0;
};

}  // namespace tessor::devsim
