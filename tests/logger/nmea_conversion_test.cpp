#include "logger/nmea_conversion.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "engine/framing.h"
#include "gpsbabel.h"
#include "logger/log_record.h"

namespace tessor {
namespace {

constexpr float kRadiansPerDegree = 1.0f / 57.29578f;

// One raw record of a data type, as the logger stores it.
std::vector<uint8_t> Record(int type, int h, int m, int s, float lat_rad, float lon_rad,
                            float alt = 0, float speed = 0) {
  std::vector<uint8_t> r(LogRecord::Size(type), 0);
  r[1] = static_cast<uint8_t>(h), r[2] = static_cast<uint8_t>(m), r[3] = static_cast<uint8_t>(s);
  std::memcpy(&r[4], &lat_rad, 4);
  std::memcpy(&r[8], &lon_rad, 4);
  if (type >= 1) std::memcpy(&r[12], &alt, 4);
  if (type >= 2) std::memcpy(&r[16], &speed, 4);
  return r;
}

std::vector<uint8_t> Bytes(const char* hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; hex[i] && hex[i + 1]; i += 2) {
    out.push_back(static_cast<uint8_t>(std::stoi(std::string(hex + i, 2), nullptr, 16)));
  }
  return out;
}

struct Output {
  std::vector<std::string> lines;
  std::vector<std::string> status;
  ConversionResult result;
};

Output Convert(uint32_t date, int type, const std::vector<uint8_t>& bytes) {
  Output out;
  out.result = ConvertRecords(
      date, type, bytes, [&](std::string_view l) { out.lines.emplace_back(l); },
      [&](const std::string& l) { out.status.push_back(l); });
  return out;
}

std::string Rmc(const Output& o, size_t point) {
  return o.lines.at(2 * point + 1);
}

TEST(NmeaConversion, WorkedExample) {
  std::vector<uint8_t> type2 = {0, 8, 30, 15};
  for (const char* v : {"dfb5df3e", "ebc90740", "00000e42", "f6289441"}) {
    const auto b = Bytes(v);
    type2.insert(type2.end(), b.begin(), b.end());
  }
  const Output two = Convert(70314, 2, type2);
  ASSERT_EQ(two.lines.size(), 2u);
  EXPECT_EQ(two.lines[0],
            "$GPGGA,083015.000,2502.0700,N,12133.8644,E,1,00,,0035.5,M,0.0,M,,0000*70\r\n");
  EXPECT_EQ(two.lines[1],
            "$GPRMC,083015.000,A,2502.0700,N,12133.8644,E,010.00,15.15,140307,,,E*5B\r\n");
  EXPECT_EQ(two.status,
            std::vector<std::string>{"There are   0  errors in this track.Total point are  1"});

  const std::vector<uint8_t> type0(type2.begin(), type2.begin() + 12);
  const Output zero = Convert(70314, 0, type0);
  ASSERT_EQ(zero.lines.size(), 2u);
  EXPECT_EQ(zero.lines[0],
            "$GPGGA,083015.000,2502.0700,N,12133.8644,E,1,00,,0.0,M,0.0,M,,0000*43\r\n");
  EXPECT_EQ(zero.lines[1],
            "$GPRMC,083015.000,A,2502.0700,N,12133.8644,E,000.00,15.15,140307,,,E*5A\r\n");
}

TEST(NmeaConversion, ChecksInOrderWithTheirIndices) {
  const float lat = 25.0f * kRadiansPerDegree, lon = 121.0f * kRadiansPerDegree;
  std::vector<uint8_t> bytes;
  auto add = [&](const std::vector<uint8_t>& r) { bytes.insert(bytes.end(), r.begin(), r.end()); };
  add(Record(2, 8, 0, 0, lat, lon, 10, 20));  // 0 ok
  add(Record(2, 25, 0, 0, lat, lon));         // 1 time
  add(Record(2, 8, 0, 1, 2.0f, lon));         // 2 latitude above 90
  add(Record(2, 8, 0, 2, lat, NAN));          // 3 longitude
  add(Record(2, 8, 0, 3, lat, lon, NAN));     // 4 altitude
  add(Record(2, 8, 0, 4, lat, lon, 0, NAN));  // 5 speed
  add(Record(2, 8, 0, 5, 0.0f, lon));         // 6 silent: latitude exactly 0
  add(Record(2, 8, 0, 6, lat, -0.0f));        // 7 silent: longitude exactly 0
  add(Record(2, 24, 60, 60, lat, lon));       // 8 time above 235959
  add(std::vector<uint8_t>(20, 0xFF));        // 9 a filled record: time
  bytes.resize(bytes.size() + 7, 0);          // a trailing partial record
  const Output o = Convert(70314, 2, bytes);
  EXPECT_EQ(o.status,
            (std::vector<std::string>{
                "Time error. Point:1", "Latitude error. Point:2", "Longitude error. Point:3",
                "Altitude error. Point:4", "Speed error. Point:5", "Time error. Point:8",
                "Time error. Point:9", "There are   7  errors in this track.Total point are  10"}));
  EXPECT_EQ(o.result.points, 1);
}

TEST(NmeaConversion, FirstRecordIsNotCheckedAgainstMidnight) {
  const float lat = 25.0f * kRadiansPerDegree, lon = 121.0f * kRadiansPerDegree;
  const Output o = Convert(70314, 0, Record(0, 24, 60, 60, lat, lon));
  ASSERT_EQ(o.lines.size(), 2u);
  EXPECT_EQ(o.lines[0].substr(0, 17), "$GPGGA,246060.000");
}

TEST(NmeaConversion, DateRollsOverAtMidnightAndOnEqualTimes) {
  const float lat = 25.0f * kRadiansPerDegree, lon = 121.0f * kRadiansPerDegree;
  struct Case {
    uint32_t start;
    const char* next_date;
  } cases[] = {
      {71231, "010108"},  // year end
      {228, "290200"},    // 2000 is a leap year
      {10228, "010301"},  // 2001 is not
      {70314, "150307"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = Record(0, 23, 59, 59, lat, lon);
    const auto second = Record(0, 0, 0, 1, lat, lon);
    bytes.insert(bytes.end(), second.begin(), second.end());
    const Output o = Convert(c.start, 0, bytes);
    ASSERT_EQ(o.lines.size(), 4u);
    EXPECT_NE(Rmc(o, 1).find(std::string(",15.15,") + c.next_date + ","), std::string::npos)
        << c.start << ": " << Rmc(o, 1);
  }
  // An equal time counts as a new day; a skipped zero position changes nothing.
  std::vector<uint8_t> bytes = Record(0, 8, 0, 0, lat, lon);
  for (const auto& r : {Record(0, 9, 0, 0, 0.0f, lon), Record(0, 8, 0, 0, lat, lon)}) {
    bytes.insert(bytes.end(), r.begin(), r.end());
  }
  const Output o = Convert(70314, 0, bytes);
  ASSERT_EQ(o.lines.size(), 4u);
  EXPECT_NE(Rmc(o, 1).find(",150307,"), std::string::npos);
}

TEST(NmeaConversion, SouthernAndWesternPositions) {
  const Output o = Convert(
      70314, 0, Record(0, 1, 2, 3, -33.8688f * kRadiansPerDegree, -0.5f * kRadiansPerDegree));
  ASSERT_EQ(o.lines.size(), 2u);
  EXPECT_NE(o.lines[0].find(",3352.1281,S,"), std::string::npos) << o.lines[0];
  EXPECT_NE(o.lines[0].find(",00030.0000,W,"), std::string::npos) << o.lines[0];
  const Output small =
      Convert(70314, 0, Record(0, 1, 2, 3, -0.25f * kRadiansPerDegree, 10.0f * kRadiansPerDegree));
  EXPECT_NE(small.lines.at(0).find(",0015.0000,S,"), std::string::npos) << small.lines[0];
}

TEST(NmeaConversion, PiecesCarryTheDateAndNumbering) {
  const float lat = 25.0f * kRadiansPerDegree, lon = 121.0f * kRadiansPerDegree;
  std::vector<std::string> lines, status;
  NmeaTrackConverter converter(
      70314, 0, [&](std::string_view l) { lines.emplace_back(l); },
      [&](const std::string& l) { status.push_back(l); });
  converter.Convert(Record(0, 23, 0, 0, lat, lon));
  converter.Convert(Record(0, 61, 0, 0, lat, lon));
  converter.Convert(Record(0, 1, 0, 0, lat, lon));
  const ConversionResult r = converter.Finish();
  EXPECT_EQ(r.records, 3);
  EXPECT_EQ(status.front(), "Time error. Point:1");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_NE(lines[3].find(",150307,"), std::string::npos);
}

TEST(NmeaConversion, UnknownTypeConvertsNothing) {
  const Output o = Convert(70314, 3, std::vector<uint8_t>(40, 1));
  EXPECT_TRUE(o.lines.empty());
  EXPECT_TRUE(o.status.empty());
}

#ifdef TESSOR_GPSBABEL
TEST(NmeaConversion, GpsbabelReadsWhatWeWrite) {
  // A path across midnight from real positions, in all three formats.
  for (int type = 0; type < 3; ++type) {
    std::vector<uint8_t> bytes;
    std::vector<std::pair<double, double>> expected;
    for (int i = 0; i < 120; ++i) {
      const float lat = (43.6463f + 0.0005f * i) * kRadiansPerDegree;
      const float lon = (-79.3843f - 0.0007f * i) * kRadiansPerDegree;
      const int t = 23 * 3600 + 59 * 60 + i;  // crosses midnight
      const auto r = Record(type, (t / 3600) % 24, (t / 60) % 60, t % 60, lat, lon, 80.5f, 36.0f);
      bytes.insert(bytes.end(), r.begin(), r.end());
      expected.push_back({lat * 57.29578f, lon * 57.29578f});
    }
    const std::string path = ::testing::TempDir() + "/track" + std::to_string(type) + ".nmea";
    {
      std::ofstream file(path, std::ios::binary);
      ConvertRecords(
          71231, type, bytes, [&](std::string_view l) { file.write(l.data(), l.size()); },
          [](const std::string&) {});
    }
    std::vector<test::BabelPoint> points;
    ASSERT_TRUE(test::ReadWithGpsbabel(TESSOR_GPSBABEL, path, &points));
    ASSERT_EQ(points.size(), expected.size()) << "type " << type;
    for (size_t i = 0; i < points.size(); ++i) {
      EXPECT_NEAR(points[i].lat, expected[i].first, 1e-5);
      EXPECT_NEAR(points[i].lon, expected[i].second, 1e-5);
    }
  }
}
#endif

}  // namespace
}  // namespace tessor
