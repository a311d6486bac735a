// The logger subcommands never end with 0 after a failure: a job cut short by
// an unplugged adapter, or a file that cannot be read or written, is a
// failure a script can see.
#include <filesystem>
#include <string>
#include <vector>

#include "filled_track.h"
#include "running_program.h"
#include "tessorctl_fixture.h"

namespace tessor {
namespace {

using std::chrono::milliseconds;

using TessorctlLoggerExit = test::TessorctlFixture;

TEST_F(TessorctlLoggerExit, EraseWithTheLineLostIsAFailure) {
  devsim::Scenario s;
  s.erase_reports_ms = 120000;
  StartDevice(s);
  test::RunningProgram erase({TESSORCTL, "erase-log", "--port", slave_path_, "--yes", "--progress"},
                             data_home_ + "/erase");
  ASSERT_TRUE(erase.started());
  ASSERT_TRUE(WaitFor([&] { return erase.err().find("phase erase") != std::string::npos; }, 60000))
      << erase.out() << erase.err();
  sim_.reset();  // the adapter unplugged while the device still erases
  const int status = erase.WaitExit(milliseconds(60000));
  EXPECT_EQ(status, kResultPortNotOpen) << erase.out() << erase.err();
  EXPECT_NE(erase.err().find("the line was lost before the erase ended"), std::string::npos)
      << erase.err();
}

TEST_F(TessorctlLoggerExit, TracksWithTheLineLostDuringTheConnectListsNothing) {
  devsim::Scenario s;
  for (uint32_t day = 1; day <= 28; ++day) s.tracks.push_back(test::FilledTrack(70300 + day, 1));
  // Past the identification, inside the header table.
  s.faults.vanish_after_bytes = 900;
  StartDevice(s);
  const auto r = RunOn(slave_path_, {"tracks"});
  EXPECT_TRUE(sim_->vanished());
  EXPECT_NE(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out.find("\t0703"), std::string::npos) << "a track row printed:\n" << r.out;
}

TEST_F(TessorctlLoggerExit, ConvertLogThatCannotReadOrWriteIsNoSuccess) {
  const std::string in = WriteFile("raw.bin", std::vector<uint8_t>(12, 0));
  const std::string out = data_home_ + "/out.nmea";
  auto convert = [&](const std::string& from, const std::string& to) {
    return test::RunProgram(
        {TESSORCTL, "convert-log", "--format", "0", "--date", "70314", from, to},
        data_home_ + "/run");
  };
  for (const std::string& unreadable : {data_home_ + "/missing.bin", data_home_}) {
    const auto r = convert(unreadable, out);
    EXPECT_EQ(r.status, 65) << unreadable << "\n" << r.err;
    EXPECT_FALSE(std::filesystem::exists(out)) << unreadable;
  }
  for (const std::string& unwritable : {data_home_ + "/no/such/folder.nmea", data_home_}) {
    const auto r = convert(in, unwritable);
    EXPECT_EQ(r.status, 74) << unwritable << "\n" << r.err;
  }
}

}  // namespace
}  // namespace tessor
