#pragma once

#include <string_view>
#include <vector>

#include "logger/track_points.h"

namespace tessor {

// The track points of a GPX 1.1 document, in file order over all its tracks
// and segments: position, and the elevation and time when a point has them.
// A small reader for the files this program writes and plain GPX files
// alike; a point without a readable position is left out.
std::vector<TrackPoint> ReadGpxTrack(std::string_view text);

}  // namespace tessor
