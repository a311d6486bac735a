#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tessor {

// What the engine keeps of a device's database image when it reads it back:
// the parts of the image layout it needs for that, and its copy of them. The
// rest of the layout is the database's own.
inline constexpr size_t kHeaderSize = 40;
inline constexpr std::array<uint8_t, 4> kImageMagic = {'%', 'C', 'D', 'B'};
inline constexpr std::array<uint8_t, 4> kNewHeaderFlags = {1, 0, 0, 1};

struct CellIndexEntry {
  std::array<uint8_t, 4> value_a = {};
  std::array<uint8_t, 4> value_b = {};
  uint32_t point_count = 0;
  uint32_t point_offset = 0;
};

// Minimum longitude, minimum latitude, maximum longitude, maximum latitude, in
// radians; all zero until a header is read.
struct DatabaseCoverage {
  float min_longitude = 0.0f;
  float min_latitude = 0.0f;
  float max_longitude = 0.0f;
  float max_latitude = 0.0f;
};

// The engine's copy of what it read back: corners longitude first.
struct EngineDatabaseInfo {
  std::array<uint8_t, 4> magic = kImageMagic;
  std::array<uint8_t, 4> flags = kNewHeaderFlags;
  float min_longitude = 0.0f;
  float min_latitude = 0.0f;
  float max_longitude = 0.0f;
  float max_latitude = 0.0f;
  uint16_t grid_x = 0;
  uint16_t grid_y = 0;
  float grid_p = 0.0f;
  float grid_q = 0.0f;
  uint32_t value_r = 0;
  std::array<uint8_t, kHeaderSize> raw_header = {};
  CellIndexEntry last_entry;
  CellIndexEntry first_entry;
  CellIndexEntry last_entry_second_read;
};

}  // namespace tessor
