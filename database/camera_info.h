#pragma once

#include <cstdint>

namespace tessor {

// Degrees <-> radians as the device family rounds them (single precision).
inline constexpr float kDegToRad = 0.017453292f;
inline constexpr float kRadToDeg = 57.29578f;

// One speed camera, laid out as the database image stores its data bytes.
class CCameraInfo {
 public:
  virtual ~CCameraInfo() = default;

  // Store degrees as radians; out-of-range values leave the field unchanged.
  bool SetLatitude(double degrees);
  bool SetLongitude(double degrees);

  float longitude = 0.0f;  // radians
  float latitude = 0.0f;   // radians
  uint16_t direction = 0;  // degrees, 0..360
  uint16_t type = 0;       // carried unchanged
  float vmax = 0.0f;       // -1.0 where no limit applies
};

}  // namespace tessor
