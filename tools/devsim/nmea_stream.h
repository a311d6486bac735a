#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "tools/devsim/track_generator.h"

namespace tessor::devsim {

// One second of GPS-mouse output for a point at a UTC time: "$GPGGA",
// "$GPGSA", "$GPGSV" and "$GPRMC", each framed.
std::vector<std::string> PositionSentences(const PathPoint& point, std::time_t utc);

}  // namespace tessor::devsim
