#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "logger/track_points.h"

namespace tessor {

// The file formats a downloaded track can be written in.
enum class TrackFormat { kNmea, kGpx, kKml };

// "nmea", "gpx" or "kml" as a format; nothing for any other name.
std::optional<TrackFormat> TrackFormatNamed(std::string_view name);
// The file name extension of a format, with its dot.
const char* TrackFormatExtension(TrackFormat format);

// Text with &, <, >, " and ' written as XML entities.
std::string XmlEscaped(std::string_view text);

// A GPX 1.1 document of one track in one segment: each point with its time,
// its elevation when it has one, and its speed (m/s) as an extension.
std::string GpxDocument(const std::string& name, const std::vector<TrackPoint>& points);
// A KML document with the track as one LineString placemark, named, with the
// time span from its first to its last timed point.
std::string KmlDocument(const std::string& name, const std::vector<TrackPoint>& points);

// The path of a track file's copy in another format: the same name with the
// format's extension in place of the last one.
std::string ExportPath(const std::string& nmea_path, TrackFormat format);
// The name a track goes by: the file name without folder and extension.
std::string TrackName(const std::string& path);

// Writes the track of an NMEA file in another format beside it (ExportPath),
// whole or not at all. False (errno set) when the NMEA file cannot be read or
// the export cannot be written.
bool ExportTrackFile(const std::string& nmea_path, TrackFormat format);
// The same for a track already in memory as NMEA text, into out_path.
bool WriteTrackAs(std::string_view nmea_text, const std::string& name, TrackFormat format,
                  const std::string& out_path);

}  // namespace tessor
