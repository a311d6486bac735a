#include "tools/devsim/track_generator.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace tessor::devsim {

namespace {

constexpr double kMetresPerDegree = 111320.0;
constexpr double kSpeedKmh = 36.0;
constexpr double kCourseDeg = 45.0;

void PutFloat(std::vector<uint8_t>& out, float value) {
  uint8_t bytes[4];
  std::memcpy(bytes, &value, 4);  // the loggers are little-endian, as is this host
  out.insert(out.end(), bytes, bytes + 4);
}

float Radians(double degrees) {
  return static_cast<float>(degrees * std::numbers::pi / 180.0);
}

}  // namespace

PathPoint PathAt(double lat_deg, double lon_deg, double seconds) {
  const double metres = kSpeedKmh / 3.6 * seconds;
  const double course = kCourseDeg * std::numbers::pi / 180.0;
  PathPoint p;
  p.lat_deg = lat_deg + metres * std::cos(course) / kMetresPerDegree;
  p.lon_deg = lon_deg + metres * std::sin(course) /
                            (kMetresPerDegree * std::cos(lat_deg * std::numbers::pi / 180.0));
  p.altitude_m = static_cast<float>(35.5 + 5.0 * std::sin(seconds / 60.0));
  p.speed_kmh = static_cast<float>(kSpeedKmh);
  p.course_deg = kCourseDeg;
  return p;
}

std::vector<uint8_t> GenerateTrack(const DrivePlan& plan, int format) {
  const size_t size = RecordSize(format);
  std::vector<uint8_t> out;
  if (size == 0) return out;
  out.reserve(size * plan.points);
  for (uint32_t i = 0; i < plan.points; ++i) {
    const double elapsed = static_cast<double>(i) * plan.step_s;
    const uint32_t tod = static_cast<uint32_t>((plan.start_s + uint64_t{i} * plan.step_s) % 86400);
    const PathPoint p = PathAt(plan.lat, plan.lon, elapsed);
    out.push_back(0);
    out.push_back(static_cast<uint8_t>(tod / 3600));
    out.push_back(static_cast<uint8_t>(tod / 60 % 60));
    out.push_back(static_cast<uint8_t>(tod % 60));
    PutFloat(out, Radians(p.lat_deg));
    PutFloat(out, Radians(p.lon_deg));
    if (format >= 1) PutFloat(out, p.altitude_m);
    if (format >= 2) PutFloat(out, p.speed_kmh);
  }
  return out;
}

}  // namespace tessor::devsim
