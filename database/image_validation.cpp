#include "database/image_validation.h"

#include <algorithm>

#include "database/database_image.h"

namespace tessor {

namespace {
ImageVerdict Refuse(std::string reason) {
  return {false, std::move(reason)};
}

CellIndexEntry EntryAt(std::span<const uint8_t> image, uint64_t cell) {
  const size_t at = kIndexOffset + static_cast<size_t>(cell) * kIndexEntrySize;
  return ParseIndexEntry(image.subspan(at).first<kIndexEntrySize>());
}

// Walks the cells: each starts where the one before ended, or later.
ImageVerdict CheckCells(std::span<const uint8_t> image, uint64_t cells, uint64_t first_point) {
  const uint64_t data_end = image.size() - kPointTail;
  uint64_t expected = first_point;
  for (uint64_t cell = 0; cell < cells; ++cell) {
    const CellIndexEntry entry = EntryAt(image, cell);
    const uint64_t end = uint64_t{entry.point_offset} + kPointSize * uint64_t{entry.point_count};
    const std::string name = "cell " + std::to_string(cell);
    if (cell == 0 && entry.point_offset != first_point) {
      return Refuse(name + ": first point offset " + std::to_string(entry.point_offset) +
                    " is not " + std::to_string(first_point));
    }
    if (entry.point_offset < expected) return Refuse(name + ": point offset not ascending");
    if (end > data_end) return Refuse(name + ": points outside the file");
    expected = end;
  }
  if (expected != data_end) {
    return Refuse("point data ends at " + std::to_string(expected) + ", file holds " +
                  std::to_string(image.size()) + " bytes");
  }
  return {true, {}};
}
}  // namespace

ImageVerdict ValidateImage(std::span<const uint8_t> image) {
  if (image.size() < kHeaderSize) return Refuse("file shorter than the 40-byte header");
  const DatabaseHeader header = ParseHeader(image.first<kHeaderSize>());
  if (!std::equal(header.magic.begin(), header.magic.end(), kImageMagic.begin())) {
    return Refuse("magic is not %CDB");
  }
  const uint64_t cells = uint64_t{header.grid_x} * header.grid_y;
  if (cells == 0) return Refuse("grid has no cells (X x Y = 0)");
  const uint64_t first_point = FirstPointOffset(header.grid_x, header.grid_y);
  if (first_point + kPointTail > image.size()) return Refuse("index exceeds the file");
  return CheckCells(image, cells, first_point);
}

}  // namespace tessor
