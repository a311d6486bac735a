// The database image validator and the header and index unpacking that a
// download does with what the device sends.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "database/database_image.h"
#include "database/image_validation.h"

namespace {
void Require(bool condition) {
  if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> image(data, size);
  const tessor::ImageVerdict verdict = tessor::ValidateImage(image);
  Require(verdict.valid == verdict.reason.empty());

  tessor::EngineDatabaseInfo info;
  const bool unpacked = tessor::UnpackHeader(image, info);
  Require(unpacked == (size >= tessor::kHeaderSize));
  if (!unpacked) {
    Require(!verdict.valid);
    return 0;
  }
  tessor::CoverageOf(info);
  const auto header = tessor::ParseHeader(image.first<tessor::kHeaderSize>());
  Require(tessor::PackHeader(header) == info.raw_header);  // nothing lost on the way
  // The index as a download reads it: X x Y entries and the tail, or what the
  // bytes hold of it.
  const std::span<const uint8_t> rest = image.subspan(tessor::kIndexOffset);
  const std::span<const uint8_t> index =
      rest.first(std::min<uint64_t>(rest.size(), tessor::IndexSize(info.grid_x, info.grid_y)));
  const auto last = tessor::LastIndexEntry(index, info.grid_x, info.grid_y);
  if (index.size() >= tessor::kIndexEntrySize) {
    const auto first = tessor::ParseIndexEntry(index.first<tessor::kIndexEntrySize>());
    tessor::LastEntryOffset(first);
    if (last) {
      const auto range = tessor::PointDataRange(first, *last);
      // A valid image's point data lies inside it.
      if (verdict.valid && range) Require(range->start + range->length <= size);
    }
  }
  return 0;
}
