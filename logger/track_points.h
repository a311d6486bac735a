#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessor {

// One point of a track as the exports and the track map take it.
struct TrackPoint {
  int year = 0, month = 0, day = 0;        // the full year; 0 when the source has no date
  int hour = 0, minute = 0, second = 0;    // UTC
  double latitude = 0.0, longitude = 0.0;  // degrees
  std::optional<double> altitude;          // metres, when the record format logs it
  double speed_kmh = 0.0;

  bool has_time() const { return year != 0; }
  // "YYYY-MM-DDThh:mm:ssZ".
  std::string IsoTime() const;
};

// The points of an NMEA track as the log conversion writes it: each "$GPRMC"
// gives a point, and the "$GPGGA" of the same time just before it adds the
// altitude. Sentences with a wrong checksum and unfixed positions are left
// out. The conversion writes "0.0" for the altitude of records that hold none.
std::vector<TrackPoint> ReadNmeaTrack(std::string_view text);

// Reads a track file: GPX when its first character other than blanks is "<",
// otherwise NMEA. False (errno set) when the file cannot be read.
bool ReadTrackFile(const std::string& path, std::vector<TrackPoint>* points);

}  // namespace tessor
