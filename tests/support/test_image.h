#pragma once

#include <cstdint>
#include <vector>

#include "database/database_image.h"

namespace tessor::test {

// A valid image with one cell and `points` camera points of varied bytes.
inline std::vector<uint8_t> MakeTestImage(size_t points, uint8_t fill = 0) {
  DatabaseHeader header;
  header.min_latitude = 0.75f;
  header.min_longitude = -1.39f;
  header.max_latitude = 0.77f;
  header.max_longitude = -1.37f;
  header.grid_x = 1;
  header.grid_y = 1;
  const auto packed = PackHeader(header);
  std::vector<uint8_t> image(packed.begin(), packed.end());
  CellIndexEntry entry;
  entry.point_count = static_cast<uint32_t>(points);
  entry.point_offset = 60;
  const auto packed_entry = PackIndexEntry(entry);
  image.insert(image.end(), packed_entry.begin(), packed_entry.end());
  image.insert(image.end(), 4, 0);
  for (size_t i = 0; i < points * kPointSize; ++i) {
    image.push_back(static_cast<uint8_t>(fill + i * 7));
  }
  image.insert(image.end(), 4, 0);
  return image;
}

}  // namespace tessor::test
