#pragma once

#include <string>
#include <vector>

#include "poi/map_page.h"

namespace tessor {

// Writes a page that draws a track (degrees, in order) on the POI page's map:
// the line through its points, a "Start" and an "End" marker, and the view
// fitted to the track's bounds; decimal points whatever the locale. False
// (errno set) when there is no point, a position is not finite or the file
// cannot be written.
bool WriteTrackMapPage(const std::string& path, const std::string& name,
                       const std::vector<MapPosition>& track, const MapAddresses& addresses);

enum class TrackMapResult { kWritten, kUnreadable, kNoPoints, kNotWritten };

// Reads a track file (NMEA or GPX) and writes its map page; the page is named
// after the file. errno is set for kUnreadable and kNotWritten.
TrackMapResult WriteTrackFileMap(const std::string& track_path, const std::string& page_path,
                                 const MapAddresses& addresses);

}  // namespace tessor
