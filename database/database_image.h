#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "database/camera_info.h"
#include "engine/database_info.h"

namespace tessor {

// The detector's database image: a 40-byte header, X x Y index entries of 16
// bytes plus 4 bytes, then 16-byte points and 4 closing bytes. Little-endian.
using DatabaseImage = std::vector<uint8_t>;
// The header's size, magic and flags and the index entry are in
// engine/database_info.h, with the engine's copy of a read-back header.

inline constexpr size_t kIndexOffset = 40;
inline constexpr size_t kIndexEntrySize = 16;
inline constexpr size_t kPointSize = 16;
inline constexpr size_t kIndexTail = 4;
inline constexpr size_t kPointTail = 4;

// The header in image order: every corner latitude first.
struct DatabaseHeader {
  std::array<uint8_t, 4> magic = kImageMagic;
  std::array<uint8_t, 4> flags = kNewHeaderFlags;
  float min_latitude = 0.0f;
  float min_longitude = 0.0f;
  float max_latitude = 0.0f;
  float max_longitude = 0.0f;
  float grid_p = 0.0f;
  float grid_q = 0.0f;
  uint16_t grid_x = 0;
  uint16_t grid_y = 0;
  uint32_t value_r = 0;
};

// The 16 data bytes of one camera: longitude, latitude, direction, type, vmax.
struct SCPoint {
  std::array<uint8_t, kPointSize> bytes = {};

  static SCPoint FromCamera(const CCameraInfo& camera);
  CCameraInfo ToCamera() const;
};

struct PointRange {
  uint64_t start = 0;
  uint64_t length = 0;
};

DatabaseHeader ParseHeader(std::span<const uint8_t, kHeaderSize> bytes);
std::array<uint8_t, kHeaderSize> PackHeader(const DatabaseHeader& header);
CellIndexEntry ParseIndexEntry(std::span<const uint8_t, kIndexEntrySize> bytes);
std::array<uint8_t, kIndexEntrySize> PackIndexEntry(const CellIndexEntry& entry);

// Copies 40 header bytes into the engine copy without checking them; false
// (and nothing changed) when fewer than 40 bytes are given.
bool UnpackHeader(std::span<const uint8_t> bytes, EngineDatabaseInfo& info);
DatabaseCoverage CoverageOf(const EngineDatabaseInfo& info);

// 16 x X x Y + 4 bytes; in 64 bits, since 16 x 65535^2 exceeds 32.
uint64_t IndexSize(uint16_t grid_x, uint16_t grid_y);
// Where the first point lies: 44 + 16 x X x Y.
uint64_t FirstPointOffset(uint16_t grid_x, uint16_t grid_y);
// The last entry of a read index: the 16 bytes ending 4 bytes before its end.
// An index of X x Y = 0 has no entry, so there is none to take.
std::optional<CellIndexEntry> LastIndexEntry(std::span<const uint8_t> index, uint16_t grid_x,
                                             uint16_t grid_y);
// Where the second read of the last entry starts: first point offset - 20.
std::optional<uint64_t> LastEntryOffset(const CellIndexEntry& first);
// Start and length of the point data; empty when the last entry lies below
// the first.
std::optional<PointRange> PointDataRange(const CellIndexEntry& first, const CellIndexEntry& last);

}  // namespace tessor
