#include "database/database_image.h"

#include <algorithm>
#include <cstring>

namespace tessor {

namespace {
template <typename T>
T Get(const uint8_t* at) {
  T value;
  std::memcpy(&value, at, sizeof value);  // the image is little-endian, as is the host
  return value;
}

template <typename T>
void Put(uint8_t* at, T value) {
  std::memcpy(at, &value, sizeof value);
}
}  // namespace

SCPoint SCPoint::FromCamera(const CCameraInfo& camera) {
  SCPoint point;
  uint8_t* p = point.bytes.data();
  Put(p, camera.longitude);
  Put(p + 4, camera.latitude);
  Put(p + 8, camera.direction);
  Put(p + 10, camera.type);
  Put(p + 12, camera.vmax);
  return point;
}

CCameraInfo SCPoint::ToCamera() const {
  CCameraInfo camera;
  const uint8_t* p = bytes.data();
  camera.longitude = Get<float>(p);
  camera.latitude = Get<float>(p + 4);
  camera.direction = Get<uint16_t>(p + 8);
  camera.type = Get<uint16_t>(p + 10);
  camera.vmax = Get<float>(p + 12);
  return camera;
}

DatabaseHeader ParseHeader(std::span<const uint8_t, kHeaderSize> bytes) {
  const uint8_t* p = bytes.data();
  DatabaseHeader header;
  std::copy_n(p, 4, header.magic.begin());
  std::copy_n(p + 4, 4, header.flags.begin());
  header.min_latitude = Get<float>(p + 8);
  header.min_longitude = Get<float>(p + 12);
  header.max_latitude = Get<float>(p + 16);
  header.max_longitude = Get<float>(p + 20);
  header.grid_p = Get<float>(p + 24);
  header.grid_q = Get<float>(p + 28);
  header.grid_x = Get<uint16_t>(p + 32);
  header.grid_y = Get<uint16_t>(p + 34);
  header.value_r = Get<uint32_t>(p + 36);
  return header;
}

std::array<uint8_t, kHeaderSize> PackHeader(const DatabaseHeader& header) {
  std::array<uint8_t, kHeaderSize> bytes{};
  uint8_t* p = bytes.data();
  std::copy(header.magic.begin(), header.magic.end(), p);
  std::copy(header.flags.begin(), header.flags.end(), p + 4);
  Put(p + 8, header.min_latitude);
  Put(p + 12, header.min_longitude);
  Put(p + 16, header.max_latitude);
  Put(p + 20, header.max_longitude);
  Put(p + 24, header.grid_p);
  Put(p + 28, header.grid_q);
  Put(p + 32, header.grid_x);
  Put(p + 34, header.grid_y);
  Put(p + 36, header.value_r);
  return bytes;
}

CellIndexEntry ParseIndexEntry(std::span<const uint8_t, kIndexEntrySize> bytes) {
  CellIndexEntry entry;
  std::copy_n(bytes.data(), 4, entry.value_a.begin());
  std::copy_n(bytes.data() + 4, 4, entry.value_b.begin());
  entry.point_count = Get<uint32_t>(bytes.data() + 8);
  entry.point_offset = Get<uint32_t>(bytes.data() + 12);
  return entry;
}

std::array<uint8_t, kIndexEntrySize> PackIndexEntry(const CellIndexEntry& entry) {
  std::array<uint8_t, kIndexEntrySize> bytes{};
  std::copy(entry.value_a.begin(), entry.value_a.end(), bytes.begin());
  std::copy(entry.value_b.begin(), entry.value_b.end(), bytes.begin() + 4);
  Put(bytes.data() + 8, entry.point_count);
  Put(bytes.data() + 12, entry.point_offset);
  return bytes;
}

bool UnpackHeader(std::span<const uint8_t> bytes, EngineDatabaseInfo& info) {
  if (bytes.size() < kHeaderSize) return false;
  const auto head = bytes.first<kHeaderSize>();
  std::copy(head.begin(), head.end(), info.raw_header.begin());
  const DatabaseHeader header = ParseHeader(head);
  info.magic = header.magic;
  info.flags = header.flags;
  info.min_longitude = header.min_longitude;
  info.min_latitude = header.min_latitude;
  info.max_longitude = header.max_longitude;
  info.max_latitude = header.max_latitude;
  info.grid_x = header.grid_x;
  info.grid_y = header.grid_y;
  info.grid_p = header.grid_p;
  info.grid_q = header.grid_q;
  info.value_r = header.value_r;
  return true;
}

DatabaseCoverage CoverageOf(const EngineDatabaseInfo& info) {
  return {info.min_longitude, info.min_latitude, info.max_longitude, info.max_latitude};
}

uint64_t IndexSize(uint16_t grid_x, uint16_t grid_y) {
  return kIndexEntrySize * uint64_t{grid_x} * uint64_t{grid_y} + kIndexTail;
}

uint64_t FirstPointOffset(uint16_t grid_x, uint16_t grid_y) {
  return kIndexOffset + IndexSize(grid_x, grid_y);
}

std::optional<CellIndexEntry> LastIndexEntry(std::span<const uint8_t> index, uint16_t grid_x,
                                             uint16_t grid_y) {
  if (grid_x == 0 || grid_y == 0) return std::nullopt;
  if (index.size() < kIndexEntrySize + kIndexTail) return std::nullopt;
  const size_t at = index.size() - kIndexTail - kIndexEntrySize;
  return ParseIndexEntry(index.subspan(at).first<kIndexEntrySize>());
}

std::optional<uint64_t> LastEntryOffset(const CellIndexEntry& first) {
  constexpr uint32_t kBack = kIndexTail + kIndexEntrySize;
  if (first.point_offset < kIndexOffset + kBack) return std::nullopt;
  return first.point_offset - kBack;
}

std::optional<PointRange> PointDataRange(const CellIndexEntry& first, const CellIndexEntry& last) {
  if (last.point_offset < first.point_offset) return std::nullopt;
  const uint64_t end = uint64_t{last.point_offset} + kPointSize * uint64_t{last.point_count};
  return PointRange{first.point_offset, end - first.point_offset + kPointTail};
}

}  // namespace tessor
