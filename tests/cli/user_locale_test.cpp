// tessorctl takes the user's locale for system texts, yet every file it
// writes and every number it prints is byte for byte what a run in the C
// locale gives.
#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../database/test_files.h"
#include "comma_locale.h"
#include "tessorctl_fixture.h"

namespace tessor {
namespace {

class TessorctlUserLocale : public test::TessorctlFixture {
 protected:
  // The job's standard output and the file it wrote, under the locale named.
  std::string RunUnder(const char* locale, std::vector<std::string> args, const std::string& file) {
    const char* before = std::getenv("LC_ALL");
    const std::string previous = before != nullptr ? before : "";
    ::setenv("LC_ALL", locale, 1);
    if (!file.empty()) std::filesystem::remove(file);
    args.insert(args.begin(), TESSORCTL);
    const auto r = test::RunProgram(args, data_home_ + "/run");
    if (before != nullptr) {
      ::setenv("LC_ALL", previous.c_str(), 1);
    } else {
      ::unsetenv("LC_ALL");
    }
    EXPECT_EQ(r.status, 0) << locale << " " << args[1] << ": " << r.err;
    std::ifstream in(file, std::ios::binary);
    return r.out + "\n--- file ---\n" + std::string(std::istreambuf_iterator<char>(in), {});
  }
};

TEST_F(TessorctlUserLocale, OutputsAreTheSameUnderACommaLocale) {
  // The locale must exist for the child: made here when the system lacks it.
  test::CommaLocale comma;
  ASSERT_TRUE(comma.active()) << comma.why_not();
  const std::string poi = data_home_ + "/poi.csv";
  std::ofstream(poi, std::ios::binary)
      << "Latitude,Longitude,direction,vmax,Type,Comments\r\n43.651234,-79.383456,90,50.5,0,a\r\n"
         "43.700001,-79.400002,180,80,0,b\r\n";
  const std::string cameras = data_home_ + "/cameras.csv";
  std::ofstream(cameras, std::ios::binary) << test::TorontoCameraCsv(test::TorontoPositions());
  const std::string image = data_home_ + "/image.bin", saved = data_home_ + "/saved.csv";
  const std::string page = data_home_ + "/page.html";
  // Raw records of format 2 south and west of zero: every number has a fraction.
  const std::string records = data_home_ + "/records.bin", nmea = data_home_ + "/track.nmea";
  {
    std::ofstream raw(records, std::ios::binary);
    for (int i = 0; i < 5; ++i) {
      const float rec[5] = {0, -0.5912f - i * 1e-5f, -1.2331f + i * 2e-5f, 512.5f + i, 37.25f};
      std::string bytes(reinterpret_cast<const char*>(rec), sizeof rec);
      bytes[1] = 12, bytes[3] = static_cast<char>(i);
      raw << bytes;
    }
  }
  const std::string gpx = data_home_ + "/track.gpx", kml = data_home_ + "/track.kml";
  const std::string track_page = data_home_ + "/track.html";
  const std::vector<std::pair<std::vector<std::string>, std::string>> jobs = {
      {{"build-image", cameras, image, "--cell-km", "2"}, image},
      {{"image-info", image}, ""},
      {{"poi-check", poi, "--coverage", "-79.6,43.5,-79.2,43.9", "--save", saved}, saved},
      {{"map-page", "--poi", "43.651234,-79.383456", "--coverage", "-79.6,43.5,-79.2,43.9", page},
       page},
      {{"convert-log", "--format", "2", "--date", "240229", records, nmea}, nmea},
      {{"convert-log", "--format", "2", "--date", "240229", "--to", "gpx", records, gpx}, gpx},
      {{"convert-log", "--format", "2", "--date", "240229", "--to", "kml", records, kml}, kml},
      {{"map-track", gpx, track_page}, track_page},
  };
  for (const auto& [args, file] : jobs) {
    const std::string c = RunUnder("C", args, file);
    const std::string de = RunUnder(test::kCommaLocale, args, file);
    EXPECT_EQ(de, c) << args[0];
  }
}

}  // namespace
}  // namespace tessor
