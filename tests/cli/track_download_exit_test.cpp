// download-tracks tells a script the truth: a track file that cannot be
// written or a line lost mid-download is never exit 0, and only files that
// hold their track are listed as written.
#include <filesystem>
#include <string>

#include "part_files.h"
#include "tessorctl_fixture.h"

namespace tessor {
namespace {

class TessorctlTrackExit : public test::TessorctlFixture {
 protected:
  static devsim::Scenario OneTrack(uint32_t records) {
    devsim::Scenario s;
    devsim::TrackSource t;
    t.date = 70314;
    t.format = 2;
    t.records.assign(records * 20, 0x5A);
    s.tracks = {t};
    return s;
  }

  std::string Out() {
    const std::string out = data_home_ + "/nmea";
    std::filesystem::create_directories(out);
    return out;
  }
};

TEST_F(TessorctlTrackExit, UnwritableTrackFileExits74AndIsNotListed) {
  StartDevice(OneTrack(20));
  const std::string out = Out();
  // A folder where the file belongs: the finished track cannot take its name.
  std::filesystem::create_directory(out + "/00000_70314.nmea");
  const auto r = RunOn(slave_path_, {"download-tracks", "--out", out});
  EXPECT_EQ(r.status, 74) << r.out << r.err;
  EXPECT_NE((r.out + r.err).find("Is a directory"), std::string::npos) << r.out << r.err;
  EXPECT_EQ(r.out.find(out + "/00000_70314.nmea\n"), std::string::npos) << r.out;
  EXPECT_FALSE(test::PartFileLeft(out + "/00000_70314.nmea"));
}

TEST_F(TessorctlTrackExit, LineLostMidDownloadIsAFailureWithNothingListed) {
  devsim::Scenario s = OneTrack(500);  // 10000 bytes of records, the connect far fewer
  s.faults.vanish_after_bytes = 2500;
  StartDevice(s);
  const std::string out = Out();
  const auto r = RunOn(slave_path_, {"download-tracks", "--out", out});
  EXPECT_TRUE(sim_->vanished());
  EXPECT_NE(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out.find(out + "/"), std::string::npos) << "a file listed as written:\n" << r.out;
  EXPECT_FALSE(std::filesystem::exists(out + "/00000_70314.nmea"));
  EXPECT_FALSE(test::PartFileLeft(out + "/00000_70314.nmea"));
}

}  // namespace
}  // namespace tessor
