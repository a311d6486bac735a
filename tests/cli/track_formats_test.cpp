// download-tracks and convert-log write GPX and KML beside or instead of
// NMEA, and map-track draws a track file: what is written is listed, and a
// file that cannot be written is a failure with nothing claimed.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "logger/nmea_conversion.h"
#include "logger/track_export.h"
#include "logger/track_points.h"
#include "tessorctl_fixture.h"
#include "track_text.h"

namespace tessor {
namespace {

class TessorctlTrackFormats : public test::TessorctlFixture {
 protected:
  // Twenty records of format 2 on a road north-east.
  static devsim::TrackSource RoadTrack() {
    devsim::TrackSource t;
    t.date = 70314;
    t.format = 2;
    for (int i = 0; i < 20; ++i) {
      const float rec[5] = {0, 0.4369f + i * 1e-5f, 2.1217f + i * 2e-5f, 12.5f + i, 40.0f};
      const uint8_t* b = reinterpret_cast<const uint8_t*>(rec);
      t.records.insert(t.records.end(), b, b + 20);
      t.records[t.records.size() - 20 + 1] = 9;
      t.records[t.records.size() - 20 + 3] = static_cast<uint8_t>(i);
    }
    return t;
  }

  static std::string Nmea(const devsim::TrackSource& t) { return test::NmeaOf(t); }
  static std::string Read(const std::string& path) { return test::ReadText(path); }

  std::string Folder(const std::string& name) {
    const std::string out = data_home_ + "/" + name;
    std::filesystem::create_directories(out);
    return out;
  }

  test::ProgramResult Offline(std::vector<std::string> args) {
    args.insert(args.begin(), TESSORCTL);
    return test::RunProgram(args, data_home_ + "/run");
  }
};

TEST_F(TessorctlTrackFormats, SeveralFormatsAtOnceEachListedOnce) {
  const devsim::TrackSource track = RoadTrack();
  devsim::Scenario s;
  s.tracks = {track};
  StartDevice(s);
  const std::string out = Folder("all"), base = out + "/00000_70314";
  const auto all = RunOn(slave_path_, {"download-tracks", "--out", out, "--format", "kml",
                                       "--format", "gpx", "--format", "nmea", "--format", "gpx"});
  ASSERT_EQ(all.status, 0) << all.out << all.err;
  EXPECT_NE(all.out.find(base + ".nmea\n" + base + ".gpx\n" + base + ".kml\n"), std::string::npos)
      << all.out;
  EXPECT_EQ(all.out.find(".gpx\n"), all.out.rfind(".gpx\n")) << "listed twice:\n" << all.out;
  const std::string nmea = Nmea(track);
  const std::vector<TrackPoint> points = ReadNmeaTrack(nmea);
  ASSERT_EQ(points.size(), 20u);
  EXPECT_EQ(Read(base + ".nmea"), nmea);
  EXPECT_EQ(Read(base + ".gpx"), GpxDocument("00000_70314", points));
  EXPECT_EQ(Read(base + ".kml"), KmlDocument("00000_70314", points));

  // GPX alone: no NMEA file is left behind.
  const std::string only = Folder("gpx"), only_base = only + "/00000_70314";
  const auto gpx = RunOn(slave_path_, {"download-tracks", "--out", only, "--format", "gpx"});
  ASSERT_EQ(gpx.status, 0) << gpx.out << gpx.err;
  EXPECT_NE(gpx.out.find(only_base + ".gpx\n"), std::string::npos) << gpx.out;
  EXPECT_EQ(gpx.out.find(".nmea"), std::string::npos) << gpx.out;
  EXPECT_FALSE(std::filesystem::exists(only_base + ".nmea"));
  EXPECT_EQ(Read(only_base + ".gpx"), GpxDocument("00000_70314", points));

  const auto bad = RunOn(slave_path_, {"download-tracks", "--out", only, "--format", "csv"});
  EXPECT_EQ(bad.status, 64) << bad.out << bad.err;
}

TEST_F(TessorctlTrackFormats, UnwritableCopyExits74WithoutItsLine) {
  devsim::Scenario s;
  s.tracks = {RoadTrack()};
  StartDevice(s);
  const std::string out = Folder("blocked"), base = out + "/00000_70314";
  // A folder where the GPX file belongs: even root cannot put the file there.
  std::filesystem::create_directory(base + ".gpx");
  const auto r = RunOn(slave_path_, {"download-tracks", "--out", out, "--format", "gpx"});
  EXPECT_EQ(r.status, 74) << r.out << r.err;
  EXPECT_EQ(r.out.find(out + "/"), std::string::npos) << "a file listed as written:\n" << r.out;
  EXPECT_NE(r.err.find(base + ".gpx: Is a directory"), std::string::npos) << r.err;
  EXPECT_TRUE(std::filesystem::is_directory(base + ".gpx"));
  // The downloaded track is not thrown away with its failed copy.
  EXPECT_TRUE(std::filesystem::is_regular_file(base + ".nmea"));
}

TEST_F(TessorctlTrackFormats, ConvertLogWritesTheFormatAsked) {
  const devsim::TrackSource track = RoadTrack();
  const std::string in = data_home_ + "/records.bin";
  std::ofstream(in, std::ios::binary)
      .write(reinterpret_cast<const char*>(track.records.data()),
             static_cast<std::streamsize>(track.records.size()));
  const std::vector<TrackPoint> points = ReadNmeaTrack(Nmea(track));
  const std::string gpx = data_home_ + "/ride.gpx", kml = data_home_ + "/ride.kml";
  const auto to_gpx =
      Offline({"convert-log", "--format", "2", "--date", "070314", "--to", "gpx", in, gpx});
  ASSERT_EQ(to_gpx.status, 0) << to_gpx.err;
  EXPECT_NE(to_gpx.out.find("errors in this track"), std::string::npos) << to_gpx.out;
  EXPECT_EQ(Read(gpx), GpxDocument("ride", points));
  const auto to_kml =
      Offline({"convert-log", "--format", "2", "--date", "070314", "--to", "kml", in, kml});
  ASSERT_EQ(to_kml.status, 0) << to_kml.err;
  EXPECT_EQ(Read(kml), KmlDocument("ride", points));
  const std::string nmea = data_home_ + "/ride.nmea";
  ASSERT_EQ(Offline({"convert-log", "--format", "2", "--date", "070314", in, nmea}).status, 0);
  EXPECT_EQ(Read(nmea), Nmea(track));

  const std::string missing = data_home_ + "/no-such-folder/ride.gpx";
  const auto unwritable =
      Offline({"convert-log", "--format", "2", "--date", "070314", "--to", "gpx", in, missing});
  EXPECT_EQ(unwritable.status, 74);
  EXPECT_NE(unwritable.err.find(missing + ": No such file or directory"), std::string::npos)
      << unwritable.err;
  EXPECT_EQ(
      Offline({"convert-log", "--format", "2", "--date", "070314", "--to", "csv", in, gpx}).status,
      64);
}

TEST_F(TessorctlTrackFormats, MapTrackDrawsNmeaAndGpxAndRefusesWhatItCannot) {
  const devsim::TrackSource track = RoadTrack();
  const std::string nmea = data_home_ + "/ride.nmea";
  std::ofstream(nmea, std::ios::binary) << Nmea(track);
  ASSERT_TRUE(ExportTrackFile(nmea, TrackFormat::kGpx));
  const std::vector<TrackPoint> points = ReadNmeaTrack(Nmea(track));
  std::string pages[2];
  for (int i = 0; i < 2; ++i) {
    const std::string input = i == 0 ? nmea : data_home_ + "/ride.gpx";
    const std::string page = data_home_ + "/page" + std::to_string(i) + ".html";
    const auto r = Offline({"map-track", input, page});
    ASSERT_EQ(r.status, 0) << input << ": " << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    pages[i] = Read(page);
    EXPECT_NE(pages[i].find("<title>ride</title>"), std::string::npos);
  }
  // The same points either way, first and last among them.
  EXPECT_EQ(pages[0], pages[1]);
  char first[64];
  std::snprintf(first, sizeof first, "[%.9f, %.9f]", points[0].latitude, points[0].longitude);
  EXPECT_NE(pages[0].find(first), std::string::npos) << first;

  const std::string empty = data_home_ + "/empty.nmea";
  std::ofstream(empty) << "";
  EXPECT_EQ(Offline({"map-track", empty, data_home_ + "/e.html"}).status, 65);
  EXPECT_FALSE(std::filesystem::exists(data_home_ + "/e.html"));
  EXPECT_EQ(Offline({"map-track", data_home_ + "/none.gpx", data_home_ + "/n.html"}).status, 65);
  const auto unwritable = Offline({"map-track", nmea, data_home_ + "/no-such-folder/p.html"});
  EXPECT_EQ(unwritable.status, 74);
  EXPECT_NE(unwritable.err.find("cannot write"), std::string::npos) << unwritable.err;
}

}  // namespace
}  // namespace tessor
