#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "logger/nmea_conversion.h"
#include "tools/devsim/scenario.h"

namespace tessor::test {

// The NMEA text a track's records convert to: what its downloaded file holds.
inline std::string NmeaOf(const devsim::TrackSource& t) {
  std::string text;
  ConvertRecords(
      t.date, t.format, t.records, [&](std::string_view l) { text.append(l); },
      [](const std::string&) {});
  return text;
}

// A file's bytes; empty when it cannot be read.
inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace tessor::test
