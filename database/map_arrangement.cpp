#include "database/map_arrangement.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "database/build_texts.h"
#include "database/message_seam.h"
#include "engine/string_table.h"

namespace tessor {

namespace {
constexpr double kEarthRadiusM = 6378137.0;
// Keeps cells near the poles from growing without bound in longitude.
constexpr double kMinCosLatitude = 0.01;
constexpr uint64_t kMaxGridCount = 65535;

void Append(DatabaseImage& image, const uint8_t* bytes, size_t size) {
  image.insert(image.end(), bytes, bytes + size);
}
}  // namespace

CMapArrangement::~CMapArrangement() {
  Release();
}

void CMapArrangement::Release() {
  cells.clear();
  image.clear();
  cell_count = 0;
}

void CMapArrangement::Report(const BuildStatusFn& status, const std::string& line,
                             bool replace_last) const {
  if (status) status(line, replace_last);
}

bool CMapArrangement::CheckCount(size_t cameras) const {
  const std::string box_caption = caption.empty() ? LoadString(kStrCaption) : caption;
  if (cameras == 0) {
    ShowMessageBox(box_caption, kNoCameraData);
    return false;
  }
  if (cameras <= 2) {
    ShowMessageBox(box_caption, kTooFewPoints);
    return false;
  }
  return true;
}

void CMapArrangement::TakeBounds(const std::vector<CCameraInfo>& cameras) {
  for (const CCameraInfo& camera : cameras) {
    min_longitude = std::min(min_longitude, camera.longitude);
    min_latitude = std::min(min_latitude, camera.latitude);
    max_longitude = std::max(max_longitude, camera.longitude);
    max_latitude = std::max(max_latitude, camera.latitude);
  }
}

CMapArrangement::Grid CMapArrangement::PlanGrid(double cell_km) const {
  Grid grid;
  grid.cell_lat = cell_km * 1000.0 / kEarthRadiusM;
  const double middle = (double{min_latitude} + double{max_latitude}) / 2.0;
  grid.cell_lon = grid.cell_lat / std::max(std::cos(middle), kMinCosLatitude);
  grid.x = static_cast<uint64_t>((double{max_longitude} - min_longitude) / grid.cell_lon) + 1;
  grid.y = static_cast<uint64_t>((double{max_latitude} - min_latitude) / grid.cell_lat) + 1;
  return grid;
}

bool CMapArrangement::CheckSize(const Grid& grid, size_t cameras,
                                const BuildStatusFn& status) const {
  const uint64_t size = kIndexOffset + kIndexEntrySize * grid.x * grid.y + kIndexTail +
                        kPointSize * uint64_t{cameras} + kPointTail;
  if (grid.x <= kMaxGridCount && grid.y <= kMaxGridCount && size <= flash_capacity) return true;
  Report(status, std::string(kDbSize) + ": " + std::to_string(size), false);
  Report(status, std::string(kFlashSize) + ": " + std::to_string(flash_capacity), false);
  ShowMessageBox(caption.empty() ? LoadString(kStrCaption) : caption, kImageTooBig);
  return false;
}

size_t CMapArrangement::CellOf(const Grid& grid, const CCameraInfo& camera) const {
  const auto column = std::min<uint64_t>(
      static_cast<uint64_t>((double{camera.longitude} - min_longitude) / grid.cell_lon),
      grid.x - 1);
  const auto row = std::min<uint64_t>(
      static_cast<uint64_t>((double{camera.latitude} - min_latitude) / grid.cell_lat), grid.y - 1);
  return static_cast<size_t>(row * grid.x + column);
}

void CMapArrangement::FillHeader(const Grid& grid, size_t cameras) {
  header = DatabaseHeader{};
  header.min_latitude = min_latitude;
  header.min_longitude = min_longitude;
  header.max_latitude = max_latitude;
  header.max_longitude = max_longitude;
  header.grid_p = static_cast<float>(grid.cell_lon);
  header.grid_q = static_cast<float>(grid.cell_lat);
  header.grid_x = static_cast<uint16_t>(grid.x);
  header.grid_y = static_cast<uint16_t>(grid.y);
  header.value_r = static_cast<uint32_t>(cameras);
  const auto bytes = PackHeader(header);
  Append(image, bytes.data(), bytes.size());
}

void CMapArrangement::WriteIndex(const Grid& grid) {
  uint32_t offset = static_cast<uint32_t>(FirstPointOffset(header.grid_x, header.grid_y));
  for (size_t i = 0; i < cells.size(); ++i) {
    CellIndexEntry entry;
    // Values A and B carry the cell's west and south edges.
    const float west = static_cast<float>(min_longitude + (i % grid.x) * grid.cell_lon);
    const float south = static_cast<float>(min_latitude + (i / grid.x) * grid.cell_lat);
    std::memcpy(entry.value_a.data(), &west, 4);
    std::memcpy(entry.value_b.data(), &south, 4);
    entry.point_count = static_cast<uint32_t>(cells[i].cameras.size());
    entry.point_offset = offset;
    offset += entry.point_count * kPointSize;
    const auto bytes = PackIndexEntry(entry);
    Append(image, bytes.data(), bytes.size());
  }
  image.insert(image.end(), kIndexTail, 0);
}

void CMapArrangement::WritePoints() {
  for (const Cell& cell : cells) {
    for (const CCameraInfo& camera : cell.cameras) {
      const SCPoint point = SCPoint::FromCamera(camera);
      Append(image, point.bytes.data(), point.bytes.size());
    }
  }
  image.insert(image.end(), kPointTail, 0);
}

bool CMapArrangement::Build(const std::vector<CCameraInfo>& cameras, double cell_km,
                            const BuildStatusFn& status) {
  Release();
  if (!CheckCount(cameras.size()) || !(cell_km > 0.0)) return false;
  TakeBounds(cameras);
  const Grid grid = PlanGrid(cell_km);
  if (!CheckSize(grid, cameras.size(), status)) return false;
  cells.assign(static_cast<size_t>(grid.x * grid.y), Cell{});
  cell_count = static_cast<uint32_t>(cells.size());
  Report(status, kBuildCellsDone, false);
  for (const CCameraInfo& camera : cameras) cells[CellOf(grid, camera)].cameras.push_back(camera);
  Report(status, kAddPointsDone, false);
  Report(status, kBuildHeaderProcessing, false);
  FillHeader(grid, cameras.size());
  Report(status, kBuildHeaderDone, true);
  Report(status, kBuildIndexProcessing, false);
  WriteIndex(grid);
  Report(status, kBuildIndexDone, true);
  Report(status, kBuildDataProcessing, false);
  WritePoints();
  Report(status, kBuildDataDone, true);
  return true;
}

}  // namespace tessor
