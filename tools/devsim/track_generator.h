#pragma once

#include <cstdint>
#include <vector>

#include "tools/devsim/scenario.h"

namespace tessor::devsim {

// One point of the simulated drive.
struct PathPoint {
  double lat_deg = 0;
  double lon_deg = 0;
  float altitude_m = 0;
  float speed_kmh = 0;
  double course_deg = 0;
};

// Where the drive that starts at (lat, lon) is after `seconds`: a steady
// 36 km/h to the north-east with a gently changing altitude.
PathPoint PathAt(double lat_deg, double lon_deg, double seconds);

// Log records of the format (0, 1, 2) for the planned points; the time of day
// wraps at midnight, as a logger's clock does.
std::vector<uint8_t> GenerateTrack(const DrivePlan& plan, int format);

}  // namespace tessor::devsim
