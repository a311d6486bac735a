// The conversion's limits, each at the value that decides it: month ends for
// a track that passes midnight, and the largest time and position a record may
// carry.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "logger/nmea_conversion.h"

namespace tessor {
namespace {

constexpr float kRadiansPerDegree = 3.14159265f / 180.0f;

// A 12-byte record (data type 0), little-endian as the logger writes it.
void AddPoint(std::vector<uint8_t>& bytes, int hour, int minute, int second, float lat_degrees,
              float lon_degrees) {
  const float values[2] = {lat_degrees * kRadiansPerDegree, lon_degrees * kRadiansPerDegree};
  bytes.insert(bytes.end(), {0, static_cast<uint8_t>(hour), static_cast<uint8_t>(minute),
                             static_cast<uint8_t>(second)});
  for (const float value : values) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int shift = 0; shift < 32; shift += 8)
      bytes.push_back(static_cast<uint8_t>(bits >> shift));
  }
}

struct Converted {
  std::vector<std::string> rmc_dates;  // DDMMYY of each RMC line
  std::vector<std::string> errors;
};

Converted Convert(uint32_t start_date, const std::vector<uint8_t>& bytes) {
  Converted out;
  ConvertRecords(
      start_date, 0, bytes,
      [&out](std::string_view line) {
        if (line.substr(0, 6) != "$GPRMC") return;
        // The date is the ninth field.
        size_t at = 0;
        for (int comma = 0; comma < 9; ++comma) at = line.find(',', at) + 1;
        out.rmc_dates.emplace_back(line.substr(at, 6));
      },
      [&out](const std::string& line) { out.errors.push_back(line); });
  // The summary line is no error of a point.
  if (!out.errors.empty() && out.errors.back().rfind("There are", 0) == 0) out.errors.pop_back();
  return out;
}

// Two points a second apart across midnight.
Converted OverMidnight(uint32_t start_date) {
  std::vector<uint8_t> bytes;
  AddPoint(bytes, 23, 59, 59, 48.85f, 2.35f);
  AddPoint(bytes, 0, 0, 0, 48.85f, 2.35f);
  return Convert(start_date, bytes);
}

TEST(TrackDate, MidnightOntoAMonthsLastDayStaysInThatMonth) {
  struct Case {
    uint32_t start;  // YYMMDD
    const char* next;
  } cases[] = {
      {70130, "310107"},  // onto 31 January
      {70131, "010207"},  // past it
      {70329, "300307"}, {70330, "310307"}, {70331, "010407"}, {70429, "300407"},  // onto 30 April
      {70430, "010507"},                                                           // past it
      {70629, "300607"}, {70630, "010707"}, {70730, "310707"}, {70830, "310807"},
      {70831, "010907"}, {70929, "300907"}, {70930, "011007"}, {71130, "011207"},
      {71230, "311207"}, {80227, "280208"}, {80228, "290208"}, {80229, "010308"},
  };
  for (const Case& c : cases) {
    const Converted out = OverMidnight(c.start);
    ASSERT_EQ(out.rmc_dates.size(), 2u) << c.start;
    EXPECT_EQ(out.rmc_dates[1], c.next) << c.start;
    EXPECT_TRUE(out.errors.empty()) << c.start;
  }
}

TEST(TrackDate, EveryDayOfAYearFollowsTheCalendar) {
  // 2007 day by day from 1 January: each midnight moves the date by one day.
  const int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  std::vector<uint8_t> bytes;
  for (int day = 0; day < 366; ++day) {
    AddPoint(bytes, 12, 0, 0, 48.85f, 2.35f);  // noon each day: one midnight in between
  }
  const Converted out = Convert(70101, bytes);
  ASSERT_EQ(out.rmc_dates.size(), 366u);
  int month = 1, day = 1, year = 7;
  for (size_t i = 0; i < out.rmc_dates.size(); ++i) {
    char expected[40];
    std::snprintf(expected, sizeof expected, "%02d%02d%02d", day, month, year);
    ASSERT_EQ(out.rmc_dates[i], expected) << "point " << i;
    if (++day > lengths[month - 1]) day = 1, month = month % 12 + 1, year += month == 1;
  }
}

TEST(TrackLimits, TimeFieldsAreCheckedAtTheirLargestValue) {
  std::vector<uint8_t> bytes;
  AddPoint(bytes, 24, 60, 60, 10, 10);  // 0: the first point is not held to a day
  AddPoint(bytes, 25, 0, 0, 10, 10);    // 1: hour above 24
  AddPoint(bytes, 0, 61, 0, 10, 10);    // 2: minute above 60
  AddPoint(bytes, 0, 0, 61, 10, 10);    // 3: second above 60
  AddPoint(bytes, 23, 59, 59, 10, 10);  // 4: the last second of a day
  AddPoint(bytes, 23, 60, 0, 10, 10);   // 5: past it
  AddPoint(bytes, 24, 0, 0, 10, 10);    // 6: past it
  AddPoint(bytes, 0, 0, 0, 10, 10);     // 7: the first second of the next day
  const Converted out = Convert(70314, bytes);
  EXPECT_EQ(out.errors, (std::vector<std::string>{"Time error. Point:1", "Time error. Point:2",
                                                  "Time error. Point:3", "Time error. Point:5",
                                                  "Time error. Point:6"}));
  EXPECT_EQ(out.rmc_dates, (std::vector<std::string>{"140307", "150307", "160307"}));
}

TEST(TrackLimits, PositionsUpToThePolesAndTheDateLine) {
  std::vector<uint8_t> bytes;
  AddPoint(bytes, 1, 0, 0, 90.0f, 180.0f);    // 0
  AddPoint(bytes, 1, 0, 1, -90.0f, -180.0f);  // 1
  AddPoint(bytes, 1, 0, 2, 90.01f, 10.0f);    // 2: beyond the pole
  AddPoint(bytes, 1, 0, 3, -90.01f, 10.0f);   // 3
  AddPoint(bytes, 1, 0, 4, 10.0f, 180.01f);   // 4: beyond the date line
  AddPoint(bytes, 1, 0, 5, 10.0f, -180.01f);  // 5
  const Converted out = Convert(70314, bytes);
  EXPECT_EQ(out.errors,
            (std::vector<std::string>{"Latitude error. Point:2", "Latitude error. Point:3",
                                      "Longitude error. Point:4", "Longitude error. Point:5"}));
  EXPECT_EQ(out.rmc_dates.size(), 2u);
}

}  // namespace
}  // namespace tessor
