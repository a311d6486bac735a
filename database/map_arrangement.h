#pragma once

#include <cstdint>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "database/camera_file_process.h"
#include "database/camera_info.h"
#include "database/database_image.h"

namespace tessor {

// A status line of a build; replace_last replaces the "Processing" line.
using BuildStatusFn = std::function<void(const std::string& line, bool replace_last)>;

inline constexpr uint32_t kDefaultFlashCapacity = 2097152;
inline constexpr double kCellRangesKm[] = {1, 2, 3, 5, 10};

// Cameras arranged into the grid of cells that an image index describes, and
// the image formed from them.
class CMapArrangement {
 public:
  struct Cell {
    std::vector<CCameraInfo> cameras;
  };

  CMapArrangement() = default;
  virtual ~CMapArrangement();
  CMapArrangement(const CMapArrangement&) = delete;
  CMapArrangement& operator=(const CMapArrangement&) = delete;

  // Forms image from the cameras with square cells of cell_km; refusals are
  // message boxes, stages status lines. False leaves no image.
  bool Build(const std::vector<CCameraInfo>& cameras, double cell_km,
             const BuildStatusFn& status = {});
  void Release();

  uint32_t cell_count = 0;
  float min_longitude = std::numbers::pi_v<float>;
  float min_latitude = std::numbers::pi_v<float> / 2;
  float max_longitude = -std::numbers::pi_v<float>;
  float max_latitude = -std::numbers::pi_v<float> / 2;
  CCameraInfoFileProcess camera_reader;
  std::vector<Cell> cells;
  DatabaseHeader header;
  DatabaseImage image;
  uint32_t flash_capacity = kDefaultFlashCapacity;
  std::string caption;

 private:
  struct Grid {
    double cell_lon = 0.0, cell_lat = 0.0;
    uint64_t x = 0, y = 0;
  };

  void Report(const BuildStatusFn& status, const std::string& line, bool replace_last) const;
  bool CheckCount(size_t cameras) const;
  void TakeBounds(const std::vector<CCameraInfo>& cameras);
  Grid PlanGrid(double cell_km) const;
  bool CheckSize(const Grid& grid, size_t cameras, const BuildStatusFn& status) const;
  size_t CellOf(const Grid& grid, const CCameraInfo& camera) const;
  void FillHeader(const Grid& grid, size_t cameras);
  void WriteIndex(const Grid& grid);
  void WritePoints();
};

}  // namespace tessor
