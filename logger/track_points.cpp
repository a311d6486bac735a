#include "logger/track_points.h"

#include <cstdlib>

#include "database/file_io.h"
#include "database/number_text.h"
#include "engine/framing.h"
#include "logger/gpx_reader.h"

namespace tessor {

namespace {

constexpr double kKmhPerKnot = 1.852;

std::vector<std::string_view> Fields(std::string_view body) {
  std::vector<std::string_view> fields;
  for (size_t at = 0;;) {
    const size_t comma = body.find(',', at);
    fields.push_back(body.substr(at, comma == std::string_view::npos ? comma : comma - at));
    if (comma == std::string_view::npos) return fields;
    at = comma + 1;
  }
}

// The sentence between "$" and "*" when its checksum holds; empty otherwise.
std::string_view CheckedBody(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  const size_t star = line.rfind('*');
  if (line.empty() || line[0] != '$' || star == std::string_view::npos || line.size() != star + 3) {
    return {};
  }
  const std::string sum(line.substr(star + 1));
  char* end = nullptr;
  const long expected = std::strtol(sum.c_str(), &end, 16);
  if (end != sum.c_str() + 2) return {};
  const std::string_view body = line.substr(1, star - 1);
  return SentenceChecksum(body) == expected ? body : std::string_view{};
}

std::optional<double> Number(std::string_view field) {
  if (field.empty()) return std::nullopt;
  const std::string text(field);
  const char* end = nullptr;
  const std::optional<double> value = LeadingNumber(text.c_str(), &end);
  if (!value || end != text.c_str() + text.size()) return std::nullopt;
  return value;
}

// "ddmm.mmmm" with its hemisphere as signed degrees.
std::optional<double> Degrees(std::string_view field, std::string_view hemisphere, char negative) {
  const std::optional<double> value = Number(field);
  if (!value || hemisphere.size() != 1) return std::nullopt;
  const double whole = static_cast<int>(*value / 100);
  const double degrees = whole + (*value - whole * 100) / 60.0;
  return hemisphere[0] == negative ? -degrees : degrees;
}

// Two digits at a place of a field, or -1.
int TwoDigits(std::string_view field, size_t at) {
  if (field.size() < at + 2) return -1;
  const char a = field[at], b = field[at + 1];
  if (a < '0' || a > '9' || b < '0' || b > '9') return -1;
  return (a - '0') * 10 + (b - '0');
}

bool ReadTime(std::string_view field, TrackPoint* p) {
  p->hour = TwoDigits(field, 0), p->minute = TwoDigits(field, 2), p->second = TwoDigits(field, 4);
  return p->hour >= 0 && p->minute >= 0 && p->second >= 0;
}

struct PendingAltitude {
  std::string time;
  std::optional<double> metres;
};

// The six-digit altitude field of a record that logs one; "0.0" for one that does not.
PendingAltitude GgaAltitude(const std::vector<std::string_view>& f) {
  if (f.size() < 10) return {};
  PendingAltitude a{std::string(f[1]), std::nullopt};
  if (f[9] != "0.0") a.metres = Number(f[9]);
  return a;
}

std::optional<TrackPoint> RmcPoint(const std::vector<std::string_view>& f,
                                   const PendingAltitude& gga) {
  if (f.size() < 10 || f[2] != "A") return std::nullopt;
  TrackPoint p;
  const std::optional<double> lat = Degrees(f[3], f[4], 'S'), lon = Degrees(f[5], f[6], 'W');
  if (!lat || !lon || !ReadTime(f[1], &p)) return std::nullopt;
  p.latitude = *lat, p.longitude = *lon;
  p.speed_kmh = Number(f[7]).value_or(0.0) * kKmhPerKnot;
  const int day = TwoDigits(f[9], 0), month = TwoDigits(f[9], 2), year = TwoDigits(f[9], 4);
  if (day >= 0 && month >= 0 && year >= 0) p.day = day, p.month = month, p.year = 2000 + year;
  if (gga.time == f[1]) p.altitude = gga.metres;
  return p;
}

}  // namespace

std::string TrackPoint::IsoTime() const {
  return FormatNumbers("%04d-%02d-%02dT%02d:%02d:%02dZ", year, month, day, hour, minute, second);
}

std::vector<TrackPoint> ReadNmeaTrack(std::string_view text) {
  std::vector<TrackPoint> points;
  PendingAltitude gga;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view body = CheckedBody(text.substr(at, end - at));
    at = end + 1;
    if (body.empty()) continue;
    const std::vector<std::string_view> f = Fields(body);
    if (f[0] == "GPGGA") {
      gga = GgaAltitude(f);
    } else if (f[0] == "GPRMC") {
      if (std::optional<TrackPoint> p = RmcPoint(f, gga)) points.push_back(*p);
      gga = {};
    }
  }
  return points;
}

bool ReadTrackFile(const std::string& path, std::vector<TrackPoint>* points) {
  std::string text;
  if (!ReadFileWhole(path, &text)) return false;
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first != std::string::npos && text[first] == '<') {
    *points = ReadGpxTrack(text);
  } else {
    *points = ReadNmeaTrack(text);
  }
  return true;
}

}  // namespace tessor
