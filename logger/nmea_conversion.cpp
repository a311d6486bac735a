#include "logger/nmea_conversion.h"

#include <cmath>

#include "database/number_text.h"
#include "engine/device_engine.h"
#include "engine/framing.h"
#include "engine/string_table.h"
#include "logger/log_record.h"

namespace tessor {

namespace {

constexpr float kDegreesPerRadian = 57.29578f;
constexpr float kKmhPerKnot = 1.852f;
constexpr int kDaysInMonth[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

struct TrackDate {
  int day, month, year;  // year as two digits

  static TrackDate FromHeader(uint32_t value) {
    return {static_cast<int>(value % 100), static_cast<int>((value / 100) % 100),
            static_cast<int>((value / 10000) % 100)};
  }

  // Midnight passed: one day on, through month and year ends.
  void Advance() {
    ++day;
    if (month == 2) {
      const int y = 2000 + year;
      const bool leap = y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
      const int length = leap ? 29 : 28;
      if (day > length) day -= length, month = 3;
    } else if (month >= 1 && month <= 12 && day > kDaysInMonth[month]) {
      day -= kDaysInMonth[month];
      if (++month > 12) month = 1, year = (year + 1) % 100;
    }
    // A header month outside 1..12 has no length to pass: the day just counts on.
  }
};

struct Coordinate {
  int degrees;
  float minutes;
  char hemisphere;
};

Coordinate Split(float value, char positive, char negative) {
  const auto degrees = static_cast<int16_t>(value);
  return {std::abs(static_cast<int>(degrees)), std::fabs(value - degrees) * 60.0f,
          value < 0 ? negative : positive};
}

// The first failing check of a record, as its string number; 0 when it passes.
int CheckRecord(const LogRecord& r, int type, float lat, float lon) {
  if (r.hour > 24 || r.minute > 60 || r.second > 60) return kStrTimeError;
  if (std::isnan(lat) || lat > 90.0f || lat < -90.0f) return kStrLatitudeError;
  if (lat == 0.0f) return -1;
  if (std::isnan(lon) || lon > 180.0f || lon < -180.0f) return kStrLongitudeError;
  if (lon == 0.0f) return -1;
  // An infinite value is no more a measurement than NaN is.
  if (type >= 1 && !std::isfinite(r.altitude)) return kStrAltitudeError;
  if (type == 2 && !std::isfinite(r.speed)) return kStrSpeedError;
  return 0;
}

// The sentences carry decimal points whatever the locale: receivers read no other mark.
void WritePoint(const LogRecord& r, int type, float lat, float lon, const TrackDate& date,
                const std::function<void(std::string_view)>& write) {
  const Coordinate la = Split(lat, 'N', 'S'), lo = Split(lon, 'E', 'W');
  const float knots = type == 2 ? r.speed / kKmhPerKnot : 0.0f;
  if (type == 0) {
    write(FramedSentence(FormatNumbers(
        "$GPGGA,%02d%02d%02d.000,%.2d%07.4f,%c,%.3d%07.4f,%c,%d,00,,0.0,M,0.0,M,,0000", r.hour,
        r.minute, r.second, la.degrees, la.minutes, la.hemisphere, lo.degrees, lo.minutes,
        lo.hemisphere, 1)));
  } else {
    write(FramedSentence(FormatNumbers(
        "$GPGGA,%02d%02d%02d.000,%.2d%07.4f,%c,%.3d%07.4f,%c,%d,00,,%06.1f,M,0.0,M,,0000", r.hour,
        r.minute, r.second, la.degrees, la.minutes, la.hemisphere, lo.degrees, lo.minutes,
        lo.hemisphere, 1, r.altitude)));
  }
  write(FramedSentence(FormatNumbers(
      "$GPRMC,%02d%02d%02d.000,A,%.2d%07.4f,%c,%.3d%07.4f,%c,%06.2f,15.15,%02d%02d%02d,,,E", r.hour,
      r.minute, r.second, la.degrees, la.minutes, la.hemisphere, lo.degrees, lo.minutes,
      lo.hemisphere, knots, date.day, date.month, date.year)));
}

}  // namespace

NmeaTrackConverter::NmeaTrackConverter(uint32_t start_date, int data_type, LineSink write,
                                       StatusSink status)
    : data_type_(data_type), write_(std::move(write)), status_(std::move(status)) {
  const TrackDate date = TrackDate::FromHeader(start_date);
  day_ = date.day, month_ = date.month, year_ = date.year;
}

void NmeaTrackConverter::ConvertRecord(const uint8_t* bytes) {
  const long i = result_.records++;
  const LogRecord r = LogRecord::Read(bytes, data_type_);
  const float lat = r.latitude * kDegreesPerRadian;
  const float lon = r.longitude * kDegreesPerRadian;
  int failed = CheckRecord(r, data_type_, lat, lon);
  if (failed < 0) return;  // exactly 0.0: no fix, skipped without a word
  const long time = r.hour * 10000L + r.minute * 100L + r.second;
  if (failed == 0 && first_seen_ && time > 235959) failed = kStrTimeError;
  if (failed != 0) {
    ++result_.errors;
    status_(LoadString(failed) + std::to_string(i));
    return;
  }
  TrackDate date{day_, month_, year_};
  if (first_seen_ && time <= previous_) date.Advance();
  day_ = date.day, month_ = date.month, year_ = date.year;
  first_seen_ = true;
  previous_ = time;
  WritePoint(r, data_type_, lat, lon, date, write_);
  ++result_.points;
}

void NmeaTrackConverter::Convert(std::span<const uint8_t> bytes) {
  const size_t size = LogRecord::Size(data_type_);
  if (size == 0) return;
  for (size_t at = 0; at + size <= bytes.size(); at += size) ConvertRecord(bytes.data() + at);
}

ConversionResult NmeaTrackConverter::Finish() {
  // A data type without records converts nothing and has nothing to sum up.
  if (LogRecord::Size(data_type_) == 0) return result_;
  char line[160];
  std::snprintf(line, sizeof line, "%s  %ld  %s  %ld", LoadString(kStrThereAre), result_.errors,
                LoadString(kStrTrackErrorsTotal), result_.records);
  status_(line);
  return result_;
}

ConversionResult ConvertRecords(uint32_t start_date, int data_type, std::span<const uint8_t> bytes,
                                const LineSink& write, const StatusSink& status) {
  NmeaTrackConverter converter(start_date, data_type, write, status);
  converter.Convert(bytes);
  return converter.Finish();
}

int ConvertTrackToNmea(uint32_t start_date, std::FILE* file, CDeviceEngine& engine, int data_type,
                       const uint8_t* buffer) {
  const size_t bytes = engine.transfer.track_bytes;
  ConvertRecords(
      start_date, data_type, std::span<const uint8_t>(buffer, bytes),
      [file](std::string_view line) {
        if (file != nullptr) std::fwrite(line.data(), 1, line.size(), file);
      },
      [&engine](const std::string& line) { engine.ReportStatusText(line); });
  return 0;
}

}  // namespace tessor
