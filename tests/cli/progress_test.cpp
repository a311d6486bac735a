// download-tracks and erase-log show their progress like upload: with
// --progress, "progress DONE/TOTAL" lines and the phase reached on standard
// error, while standard output keeps its status lines and file list.
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "filled_track.h"
#include "tessorctl_fixture.h"

namespace tessor {
namespace {

// The lines that start with a prefix, in order, from the first phase line on
// (the connect reads the database header with progress of its own).
std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix) {
  std::vector<std::string> lines;
  std::istringstream in(text.substr(std::min(text.find("phase "), text.size())));
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
  }
  return lines;
}

class TessorctlProgress : public test::TessorctlFixture {
 protected:
  std::string Out() {
    const std::string out = data_home_ + "/nmea";
    std::filesystem::create_directories(out);
    return out;
  }
};

TEST_F(TessorctlProgress, TrackDownloadNamesEachTrackAndCountsItsBytes) {
  devsim::Scenario s;
  s.tracks = {test::FilledTrack(70314, 30), test::FilledTrack(70315, 50)};
  StartDevice(s, /*pace=*/true);
  const std::string out = Out();
  const auto r = RunOn(slave_path_, {"download-tracks", "--out", out, "--progress"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;

  EXPECT_EQ(LinesStartingWith(r.err, "phase "),
            (std::vector<std::string>{"phase track 1 of 2", "phase track 2 of 2"}))
      << r.err;
  const auto progress = LinesStartingWith(r.err, "progress ");
  ASSERT_FALSE(progress.empty()) << r.err;
  const long total = (30 + 50) * 20;
  EXPECT_EQ(progress.back(), "progress 1600/1600");
  long last = -1;
  for (const std::string& line : progress) {
    long done = -1, of = -1;
    ASSERT_EQ(std::sscanf(line.c_str(), "progress %ld/%ld", &done, &of), 2) << line;
    EXPECT_EQ(of, total) << line;
    EXPECT_GE(done, last) << r.err;
    last = done;
  }
  // Standard output is still the status lines and the files written.
  EXPECT_EQ(r.out.find("phase"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("progress"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(out + "/00001_70315.nmea\n"), std::string::npos) << r.out;
}

TEST_F(TessorctlProgress, EraseShowsItsPhaseAndItsEnd) {
  devsim::Scenario s;
  s.erase_reports_ms = 1500;
  StartDevice(s);
  const auto r = RunOn(slave_path_, {"erase-log", "--yes", "--progress"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(LinesStartingWith(r.err, "phase "), std::vector<std::string>{"phase erase"}) << r.err;
  EXPECT_EQ(LinesStartingWith(r.err, "progress "),
            (std::vector<std::string>{"progress 0/1", "progress 1/1"}))
      << r.err;
}

}  // namespace
}  // namespace tessor
