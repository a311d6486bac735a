#include "logger/track_map_page.h"

#include <cerrno>
#include <cmath>

#include "database/file_io.h"
#include "database/number_text.h"
#include "logger/track_export.h"

namespace tessor {

namespace {

std::string Head(const std::string& name, const MapAddresses& a) {
  return "<!DOCTYPE html>\n<html>\n <head>\n  <meta charset=\"utf-8\">\n  <title>" +
         XmlEscaped(name) +
         "</title>\n"
         "  <style>html, body, #map { height: 100%; margin: 0; }</style>\n"
         "  <script src=\"" +
         XmlEscaped(a.script) + "\" type=\"text/javascript\"></script>\n";
}

std::string PointList(const std::vector<MapPosition>& track) {
  std::string list = "var trackPoints = [";
  for (size_t i = 0; i < track.size(); ++i) {
    list += FormatNumbers("%s[%.9f, %.9f]", i == 0 ? "" : ",\n  ", track[i].latitude,
                          track[i].longitude);
  }
  return list + "];\n";
}

// The map objects stay in globals, where a test (or a curious user) finds them.
std::string Script(const std::vector<MapPosition>& track, const MapAddresses& a) {
  return "  <script type=\"text/javascript\">\n" + PointList(track) +
         "var map, track, startMarker, endMarker;\n"
         "function trackMarker(point, title) {\n"
         "  var icon = new GIcon();\n"
         "  icon.image = \"" +
         a.marker_image +
         "\";\n"
         "  icon.iconSize = new GSize(20, 34);\n  icon.iconAnchor = new GPoint(9, 34);\n"
         "  var marker = new GMarker(point, { icon: icon, title: title });\n"
         "  map.addOverlay(marker);\n  return marker;\n}\n"
         "function load() {\n"
         "  try {\n"
         "    if (!GBrowserIsCompatible()) throw new Error('no map');\n"
         "    map = new GMap2(document.getElementById('map'));\n"
         "    map.addControl(new GSmallMapControl());\n    map.addControl(new GMapTypeControl());\n"
         "    var points = trackPoints.map(function (p) { return new GLatLng(p[0], p[1]); });\n"
         "    var bounds = new GLatLngBounds(points[0], points[0]);\n"
         "    points.forEach(function (p) { bounds.extend(p); });\n"
         "    map.setCenter(bounds.getCenter(), map.getBoundsZoomLevel(bounds));\n"
         "    track = new GPolyline(points, '#0050ff', 4, 0.8);\n"
         "    map.addOverlay(track);\n"
         "    startMarker = trackMarker(points[0], 'Start');\n"
         "    endMarker = trackMarker(points[points.length - 1], 'End');\n"
         "  } catch (e) {\n"
         "    document.body.innerHTML = '" +
         std::string(kMapLoadFailure) +
         "';\n"
         "  }\n}\n"
         "function UnloadProcess() { try { if (map) GUnload(); } catch (e) {} }\n"
         "  </script>\n";
}

}  // namespace

bool WriteTrackMapPage(const std::string& path, const std::string& name,
                       const std::vector<MapPosition>& track, const MapAddresses& addresses) {
  if (path.empty() || track.empty()) {
    errno = EINVAL;
    return false;
  }
  for (const MapPosition& p : track) {
    if (!std::isfinite(p.latitude) || !std::isfinite(p.longitude)) {
      errno = EINVAL;
      return false;
    }
  }
  const std::string page = Head(name, addresses) + Script(track, addresses) +
                           " </head>\n <body onload=\"load();\" onunload=\"UnloadProcess();\">\n"
                           "  <div id=\"map\"></div>\n </body>\n</html>\n";
  return WriteFileWhole(path, page);
}

TrackMapResult WriteTrackFileMap(const std::string& track_path, const std::string& page_path,
                                 const MapAddresses& addresses) {
  std::vector<TrackPoint> points;
  if (!ReadTrackFile(track_path, &points)) return TrackMapResult::kUnreadable;
  if (points.empty()) return TrackMapResult::kNoPoints;
  std::vector<MapPosition> track;
  track.reserve(points.size());
  for (const TrackPoint& p : points) track.push_back({p.latitude, p.longitude});
  if (!WriteTrackMapPage(page_path, TrackName(track_path), track, addresses)) {
    return TrackMapResult::kNotWritten;
  }
  return TrackMapResult::kWritten;
}

}  // namespace tessor
