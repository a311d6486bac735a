#include "database/camera_info.h"

namespace tessor {

bool CCameraInfo::SetLatitude(double degrees) {
  if (!(degrees >= -90.0 && degrees <= 90.0)) return false;
  latitude = static_cast<float>(degrees) * kDegToRad;
  return true;
}

bool CCameraInfo::SetLongitude(double degrees) {
  if (!(degrees >= -180.0 && degrees <= 180.0)) return false;
  longitude = static_cast<float>(degrees) * kDegToRad;
  return true;
}

}  // namespace tessor
