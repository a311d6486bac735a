// The GPX and KML copies of a track hold, point for point, the positions and
// times of the NMEA file they come from, as gpsbabel (a reader nobody here
// wrote) reads them; and the readers take our own files and plain GPX.
#include "logger/track_export.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "comma_locale.h"
#include "engine/framing.h"
#include "gpsbabel.h"
#include "logger/gpx_reader.h"
#include "logger/log_record.h"
#include "logger/nmea_conversion.h"
#include "logger/track_points.h"

namespace tessor {
namespace {

constexpr float kRadiansPerDegree = 1.0f / 57.29578f;

void AddRecord(std::vector<uint8_t>& bytes, int type, int h, int m, int s, float lat, float lon,
               float alt, float speed) {
  std::vector<uint8_t> r(LogRecord::Size(type), 0);
  r[1] = static_cast<uint8_t>(h), r[2] = static_cast<uint8_t>(m), r[3] = static_cast<uint8_t>(s);
  const float la = lat * kRadiansPerDegree, lo = lon * kRadiansPerDegree;
  std::memcpy(&r[4], &la, 4);
  std::memcpy(&r[8], &lo, 4);
  if (type >= 1) std::memcpy(&r[12], &alt, 4);
  if (type >= 2) std::memcpy(&r[16], &speed, 4);
  bytes.insert(bytes.end(), r.begin(), r.end());
}

// A track across midnight and the end of a year, south and west of zero, with
// a record the conversion refuses in the middle.
std::string NmeaTrack(int type) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 10; ++i) {
    AddRecord(bytes, type, 23, 59, 50 + i, -33.8561f - i * 0.00037f, -70.6493f + i * 0.00041f,
              512.5f + i, 36.0f + i);
    if (i == 5) AddRecord(bytes, type, 99, 0, 0, 10.0f, 10.0f, 0, 0);
  }
  // The last records after midnight.
  AddRecord(bytes, type, 0, 0, 3, -33.861f, -70.644f, 530.0f, 40.0f);
  AddRecord(bytes, type, 0, 0, 9, -33.862f, -70.643f, 531.0f, 41.0f);
  std::string text;
  ConvertRecords(
      231231, type, bytes, [&](std::string_view l) { text.append(l); }, [](const std::string&) {});
  return text;
}

class TrackExport : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tessor-export-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::vector<std::string> Babel(const std::string& format, const std::string& path,
                                 const std::vector<std::string>& columns) {
    std::string unicsv;
    std::vector<std::string> rows;
    EXPECT_TRUE(test::UnicsvWithGpsbabel(TESSOR_GPSBABEL, format, path, &unicsv)) << path << ":\n"
                                                                                  << unicsv;
    EXPECT_TRUE(test::UnicsvColumns(unicsv, columns, &rows)) << path << ":\n" << unicsv;
    return rows;
  }

  std::string dir_;
};

#ifdef TESSOR_GPSBABEL
TEST_F(TrackExport, GpxAndKmlHoldTheNmeaPointsAsGpsbabelReadsThem) {
  for (int type = 0; type <= 2; ++type) {
    SCOPED_TRACE("data type " + std::to_string(type));
    const std::string nmea = Write("track" + std::to_string(type) + ".nmea", NmeaTrack(type));
    ASSERT_TRUE(ExportTrackFile(nmea, TrackFormat::kGpx));
    ASSERT_TRUE(ExportTrackFile(nmea, TrackFormat::kKml));
    const std::vector<std::string> timed = {"Latitude", "Longitude", "Date", "Time"};
    const std::vector<std::string> reference = Babel("nmea", nmea, timed);
    ASSERT_EQ(reference.size(), 12u);
    EXPECT_EQ(reference.front().substr(0, 10), "-33.856098");
    EXPECT_NE(reference.back().find(",2024/01/01,00:00:09"), std::string::npos) << reference.back();
    EXPECT_EQ(Babel("gpx", ExportPath(nmea, TrackFormat::kGpx), timed), reference);
    // A LineString carries no time per point: the positions are compared
    // point for point, the time span with the first and last point.
    const std::vector<std::string> kml =
        Babel("kml", ExportPath(nmea, TrackFormat::kKml), {"Latitude", "Longitude"});
    ASSERT_EQ(kml.size(), reference.size());
    for (size_t i = 0; i < kml.size(); ++i) {
      EXPECT_EQ(kml[i] + ",", reference[i].substr(0, kml[i].size() + 1)) << i;
    }
    const std::string kml_text = Read(ExportPath(nmea, TrackFormat::kKml));
    EXPECT_NE(kml_text.find("<begin>2023-12-31T23:59:50Z</begin><end>2024-01-01T00:00:09Z</end>"),
              std::string::npos)
        << kml_text;
    const std::string gpx = Read(ExportPath(nmea, TrackFormat::kGpx));
    EXPECT_EQ(gpx.find("<ele>") != std::string::npos, type >= 1);
    EXPECT_NE(gpx.find("<name>track" + std::to_string(type) + "</name>"), std::string::npos);
  }
}

TEST_F(TrackExport, NamesAreEscapedAndTheFilesStillRead) {
  const std::string name = "Tom's <fast> & \"far\" run";
  const std::vector<TrackPoint> points = ReadNmeaTrack(NmeaTrack(2));
  const std::string gpx = Write("named.gpx", GpxDocument(name, points));
  const std::string kml = Write("named.kml", KmlDocument(name, points));
  const std::string escaped = "Tom&apos;s &lt;fast&gt; &amp; &quot;far&quot; run";
  EXPECT_NE(Read(gpx).find("<name>" + escaped + "</name>"), std::string::npos);
  EXPECT_NE(Read(kml).find("<name>" + escaped + "</name>"), std::string::npos);
  EXPECT_EQ(Babel("gpx", gpx, {"Latitude"}).size(), points.size());
  EXPECT_EQ(Babel("kml", kml, {"Latitude"}).size(), points.size());
}
#endif

TEST_F(TrackExport, NmeaReaderTakesOurPairsAndLeavesOutBrokenSentences) {
  const std::string text = NmeaTrack(2);
  const std::vector<TrackPoint> points = ReadNmeaTrack(text);
  ASSERT_EQ(points.size(), 12u);
  EXPECT_EQ(points[0].IsoTime(), "2023-12-31T23:59:50Z");
  EXPECT_NEAR(points[0].latitude, -33.8561, 1e-4);
  EXPECT_NEAR(points[0].longitude, -70.6493, 1e-4);
  ASSERT_TRUE(points[0].altitude.has_value());
  EXPECT_DOUBLE_EQ(*points[0].altitude, 512.5);
  EXPECT_NEAR(points[0].speed_kmh, 36.0, 0.01);
  EXPECT_FALSE(ReadNmeaTrack(NmeaTrack(0))[0].altitude.has_value());
  EXPECT_TRUE(ReadNmeaTrack(NmeaTrack(1))[0].altitude.has_value());

  // LF-only lines read the same; a wrong checksum or a void fix drops the point.
  std::string lf = text;
  for (size_t at; (at = lf.find("\r\n")) != std::string::npos;) lf.erase(at, 1);
  EXPECT_EQ(ReadNmeaTrack(lf).size(), 12u);
  std::string garbled = text;
  garbled[garbled.find("$GPRMC") + 10] ^= 1;
  EXPECT_EQ(ReadNmeaTrack(garbled).size(), 11u);
  const std::string void_fix =
      FramedSentence("$GPRMC,083015.000,V,2502.0700,N,12133.8644,E,010.00,15.15,140307,,,E");
  EXPECT_TRUE(ReadNmeaTrack(void_fix).empty());
  EXPECT_TRUE(ReadNmeaTrack("not a track\n\n$GPRMC,,,*00\n").empty());
}

TEST_F(TrackExport, GpxReaderTakesOurFilesAndPlainGpx) {
  const std::vector<TrackPoint> points = ReadNmeaTrack(NmeaTrack(1));
  const std::vector<TrackPoint> back = ReadGpxTrack(GpxDocument("t", points));
  ASSERT_EQ(back.size(), points.size());
  for (size_t i = 0; i < points.size(); ++i) {
    EXPECT_NEAR(back[i].latitude, points[i].latitude, 1e-9);
    EXPECT_NEAR(back[i].longitude, points[i].longitude, 1e-9);
    EXPECT_EQ(back[i].IsoTime(), points[i].IsoTime());
    EXPECT_EQ(back[i].altitude, points[i].altitude);
  }
  const std::string plain =
      "<?xml version='1.0'?>\n<gpx version='1.1' creator='x' "
      "xmlns='http://www.topografix.com/GPX/1/1'><wpt lat='1' lon='1'/>\n"
      "<trk><trkseg><trkpt lon='13.5' lat='52.25'><time>2024-05-01T10:00:00.5Z</time></trkpt>"
      "</trkseg><trkseg><trkpt\n  lat=\"-1.5\" lon=\"-2.75\"/><trkpt lat=\"x\" lon=\"1\"/>"
      "</trkseg></trk></gpx>";
  const std::vector<TrackPoint> read = ReadGpxTrack(plain);
  ASSERT_EQ(read.size(), 2u);
  EXPECT_DOUBLE_EQ(read[0].latitude, 52.25);
  EXPECT_DOUBLE_EQ(read[0].longitude, 13.5);
  EXPECT_EQ(read[0].IsoTime(), "2024-05-01T10:00:00Z");
  EXPECT_DOUBLE_EQ(read[1].latitude, -1.5);
  EXPECT_DOUBLE_EQ(read[1].longitude, -2.75);
  EXPECT_FALSE(read[1].has_time());

  std::vector<TrackPoint> from_file;
  EXPECT_TRUE(ReadTrackFile(Write("plain.gpx", "\n  " + plain), &from_file));
  EXPECT_EQ(from_file.size(), 2u);
  EXPECT_FALSE(ReadTrackFile(dir_ + "/missing.gpx", &from_file));
}

TEST_F(TrackExport, DocumentsAreTheSameUnderACommaLocale) {
  const std::vector<TrackPoint> points = ReadNmeaTrack(NmeaTrack(2));
  const std::string gpx = GpxDocument("t", points), kml = KmlDocument("t", points);
  test::CommaLocale comma;
  ASSERT_TRUE(comma.active()) << comma.why_not();
  EXPECT_EQ(ReadNmeaTrack(NmeaTrack(2)).size(), points.size());
  EXPECT_EQ(GpxDocument("t", ReadNmeaTrack(NmeaTrack(2))), gpx);
  EXPECT_EQ(KmlDocument("t", points), kml);
  EXPECT_NE(gpx.find("lat=\"-33.856"), std::string::npos) << gpx;
}

TEST_F(TrackExport, ExportFailsWithoutLeavingAFile) {
  const std::string nmea = Write("t.nmea", NmeaTrack(0));
  // A folder where the copy belongs.
  std::filesystem::create_directory(dir_ + "/t.gpx");
  EXPECT_FALSE(ExportTrackFile(nmea, TrackFormat::kGpx));
  EXPECT_TRUE(std::filesystem::is_directory(dir_ + "/t.gpx"));
  EXPECT_FALSE(ExportTrackFile(dir_ + "/none.nmea", TrackFormat::kKml));
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/none.kml"));
  EXPECT_FALSE(WriteTrackAs(NmeaTrack(0), "t", TrackFormat::kKml, dir_ + "/no/such/t.kml"));
  EXPECT_EQ(ExportPath("/a.b/c", TrackFormat::kKml), "/a.b/c.kml");
  EXPECT_EQ(ExportPath("/a/00001_70314.nmea", TrackFormat::kGpx), "/a/00001_70314.gpx");
}

}  // namespace
}  // namespace tessor
