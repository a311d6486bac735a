#include "logger/track_export.h"

#include "database/file_io.h"
#include "database/number_text.h"

namespace tessor {

namespace {

constexpr double kKmhPerMetrePerSecond = 3.6;

std::string GpxPoint(const TrackPoint& p) {
  std::string text =
      FormatNumbers("   <trkpt lat=\"%.9f\" lon=\"%.9f\">\n", p.latitude, p.longitude);
  if (p.altitude) text += FormatNumbers("    <ele>%.1f</ele>\n", *p.altitude);
  if (p.has_time()) text += "    <time>" + p.IsoTime() + "</time>\n";
  text += FormatNumbers(
      "    <extensions><gpxtpx:TrackPointExtension><gpxtpx:speed>%.3f</gpxtpx:speed>"
      "</gpxtpx:TrackPointExtension></extensions>\n",
      p.speed_kmh / kKmhPerMetrePerSecond);
  return text + "   </trkpt>\n";
}

std::string KmlCoordinates(const std::vector<TrackPoint>& points) {
  std::string text;
  for (const TrackPoint& p : points) {
    text += p.altitude ? FormatNumbers("%.9f,%.9f,%.1f\n", p.longitude, p.latitude, *p.altitude)
                       : FormatNumbers("%.9f,%.9f\n", p.longitude, p.latitude);
  }
  return text;
}

// From the first to the last point that has a time; empty when none has.
std::string KmlTimeSpan(const std::vector<TrackPoint>& points) {
  const TrackPoint* first = nullptr;
  const TrackPoint* last = nullptr;
  for (const TrackPoint& p : points) {
    if (!p.has_time()) continue;
    if (first == nullptr) first = &p;
    last = &p;
  }
  if (first == nullptr) return {};
  return "   <TimeSpan><begin>" + first->IsoTime() + "</begin><end>" + last->IsoTime() +
         "</end></TimeSpan>\n";
}

}  // namespace

std::optional<TrackFormat> TrackFormatNamed(std::string_view name) {
  if (name == "nmea") return TrackFormat::kNmea;
  if (name == "gpx") return TrackFormat::kGpx;
  if (name == "kml") return TrackFormat::kKml;
  return std::nullopt;
}

const char* TrackFormatExtension(TrackFormat format) {
  switch (format) {
    case TrackFormat::kGpx:
      return ".gpx";
    case TrackFormat::kKml:
      return ".kml";
    case TrackFormat::kNmea:
      break;
  }
  return ".nmea";
}

std::string XmlEscaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string GpxDocument(const std::string& name, const std::vector<TrackPoint>& points) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"1.1\" creator=\"tessor\" xmlns=\"http://www.topografix.com/GPX/1/1\"\n"
      " xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\">\n"
      " <trk>\n  <name>" +
      XmlEscaped(name) + "</name>\n  <trkseg>\n";
  for (const TrackPoint& p : points) text += GpxPoint(p);
  return text + "  </trkseg>\n </trk>\n</gpx>\n";
}

std::string KmlDocument(const std::string& name, const std::vector<TrackPoint>& points) {
  const std::string escaped = XmlEscaped(name);
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n <Document>\n  <name>" +
      escaped + "</name>\n";
  if (!points.empty()) {
    const bool altitude = points.front().altitude.has_value();
    text += "  <Placemark>\n   <name>" + escaped + "</name>\n" + KmlTimeSpan(points) +
            "   <LineString>\n    <tessellate>1</tessellate>\n" +
            (altitude ? "    <altitudeMode>absolute</altitudeMode>\n" : "") +
            "    <coordinates>\n" + KmlCoordinates(points) +
            "    </coordinates>\n   </LineString>\n  </Placemark>\n";
  }
  return text + " </Document>\n</kml>\n";
}

std::string ExportPath(const std::string& nmea_path, TrackFormat format) {
  const size_t slash = nmea_path.rfind('/');
  const size_t dot = nmea_path.rfind('.');
  const bool has_extension =
      dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return (has_extension ? nmea_path.substr(0, dot) : nmea_path) + TrackFormatExtension(format);
}

std::string TrackName(const std::string& path) {
  const size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

bool WriteTrackAs(std::string_view nmea_text, const std::string& name, TrackFormat format,
                  const std::string& out_path) {
  if (format == TrackFormat::kNmea) return WriteFileWhole(out_path, std::string(nmea_text));
  const std::vector<TrackPoint> points = ReadNmeaTrack(nmea_text);
  const std::string document =
      format == TrackFormat::kGpx ? GpxDocument(name, points) : KmlDocument(name, points);
  return WriteFileWhole(out_path, document);
}

bool ExportTrackFile(const std::string& nmea_path, TrackFormat format) {
  std::string text;
  if (!ReadFileWhole(nmea_path, &text)) return false;
  return WriteTrackAs(text, TrackName(nmea_path), format, ExportPath(nmea_path, format));
}

}  // namespace tessor
