#pragma once

#include <string>

namespace tessor {

struct MapPosition {
  double latitude = 0.0;  // degrees
  double longitude = 0.0;
};

// Where the page finds the map script (version-2 objects on top of Leaflet)
// and the two marker images.
struct MapAddresses {
  std::string script;  // with the query "file=api&v=2&key=" and the 86-character key
  std::string marker_image;
  std::string marker_print_image;
};

// The installed map resources, or the source tree's when running uninstalled.
MapAddresses DefaultMapAddresses();
// The addresses for the map resources in folder.
MapAddresses MapAddressesIn(const std::string& folder);
// A file URL for an absolute path.
std::string FileUrl(const std::string& path);

// What the map page and its dialog show when the map cannot be drawn.
inline constexpr const char* kMapLoadFailure =
    "Can not load Google Map, please check the internet!!";

inline constexpr const char* kMapKey =
    "TessorOfflineMapKey00000000000000000000000000000000000000000000000000000000000000000v2";

// Writes the map page for one POI and the coverage rectangle (degrees), with
// decimal points whatever the locale. False when the path is empty, a position
// is not finite or the file cannot be written.
bool WriteMapPage(const std::string& path, const MapPosition& poi, const MapPosition& coverageMin,
                  const MapPosition& coverageMax);
bool WriteMapPage(const std::string& path, const MapPosition& poi, const MapPosition& coverageMin,
                  const MapPosition& coverageMax, const MapAddresses& addresses);

}  // namespace tessor
