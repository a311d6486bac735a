// Ctrl-C or SIGTERM during a device job stops it cooperatively: the port is
// released, finished files stay, no part file is left, and the tool ends
// with 130 or 143 and a line that says what was finished.
#include <signal.h>

#include <filesystem>
#include <string>

#include "filled_track.h"
#include "part_files.h"
#include "running_program.h"
#include "tessorctl_fixture.h"

namespace tessor {
namespace {

using std::chrono::milliseconds;

class TessorctlSignals : public test::TessorctlFixture, public ::testing::WithParamInterface<int> {
 protected:
  // A short track, then one that takes the paced line many seconds.
  void StartLogger(uint32_t erase_reports_ms = 120000) {
    devsim::Scenario s;
    s.tracks = {test::FilledTrack(70314, 20), test::FilledTrack(70315, 4000),
                test::FilledTrack(70316, 20)};
    s.erase_reports_ms = erase_reports_ms;
    StartDevice(s, /*pace=*/true);
  }

  std::unique_ptr<test::RunningProgram> Start(std::vector<std::string> args) {
    args.insert(args.begin(), TESSORCTL);
    args.insert(args.begin() + 2, {"--port", slave_path_});
    return std::make_unique<test::RunningProgram>(args, data_home_ + "/running");
  }

  // The port is free again: another run connects and lists the tracks.
  void ExpectPortReleased() {
    const auto again = RunOn(slave_path_, {"tracks"}, "again");
    EXPECT_EQ(again.status, 0) << again.out << again.err;
    EXPECT_NE(again.out.find("1\t070315\t2\t4000\t1\n"), std::string::npos) << again.out;
  }
};

TEST_P(TessorctlSignals, DownloadStopsKeepingFinishedTracks) {
  const int signal = GetParam();
  StartLogger();
  const std::string out = data_home_ + "/nmea";
  std::filesystem::create_directories(out);
  auto run = Start({"download-tracks", "--out", out, "--progress"});
  ASSERT_TRUE(run->started());
  ASSERT_TRUE(
      WaitFor([&] { return run->err().find("phase track 2 of 3") != std::string::npos; }, 120000))
      << run->out() << run->err();
  run->Signal(signal);
  const int status = run->WaitExit(milliseconds(120000));

  EXPECT_EQ(run->killed_by(), 0) << "ended by the signal itself";
  EXPECT_EQ(status, 128 + signal) << run->out() << run->err();
  EXPECT_NE(run->err().find("interrupted: 1 of 3 tracks written"), std::string::npos) << run->err();
  EXPECT_NE(run->out().find(out + "/00000_70314.nmea\n"), std::string::npos) << run->out();
  EXPECT_TRUE(std::filesystem::exists(out + "/00000_70314.nmea"));
  EXPECT_FALSE(std::filesystem::exists(out + "/00001_70315.nmea"));
  EXPECT_FALSE(std::filesystem::exists(out + "/00002_70316.nmea"));
  EXPECT_FALSE(test::PartFileLeft(out + "/00001_70315.nmea"));
  EXPECT_FALSE(test::PartFileLeft(out + "/00002_70316.nmea"));
  ExpectPortReleased();
}

TEST_P(TessorctlSignals, EraseWaitStopsAndSaysTheEraseWasStarted) {
  const int signal = GetParam();
  StartLogger();
  auto run = Start({"erase-log", "--yes", "--progress"});
  ASSERT_TRUE(run->started());
  ASSERT_TRUE(WaitFor([&] { return run->err().find("phase erase") != std::string::npos; }, 120000))
      << run->out() << run->err()
      << "exit status (-1 while still running): " << run->WaitExit(milliseconds(0));
  run->Signal(signal);
  const int status = run->WaitExit(milliseconds(120000));
  EXPECT_EQ(run->killed_by(), 0) << "ended by the signal itself";
  EXPECT_EQ(status, 128 + signal) << run->out() << run->err();
  EXPECT_NE(run->err().find("interrupted: the erase was started; the device may still be erasing"),
            std::string::npos)
      << run->err();
}

// The database transfers stop on the engine's link flag, as promptly.
TEST_P(TessorctlSignals, UploadStopsAndReleasesThePort) {
  const int signal = GetParam();
  StartLogger(/*erase_reports_ms=*/0);
  const std::string image = WriteFile("image.bin", MakeImage(5000));
  auto run = Start({"upload", image, "--progress"});
  ASSERT_TRUE(run->started());
  ASSERT_TRUE(
      WaitFor([&] { return run->err().find("progress 128/") != std::string::npos; }, 120000))
      << run->out() << run->err();
  run->Signal(signal);
  const int status = run->WaitExit(milliseconds(120000));
  EXPECT_EQ(run->killed_by(), 0) << "ended by the signal itself";
  EXPECT_EQ(status, 128 + signal) << run->out() << run->err();
  EXPECT_NE(run->err().find("interrupted: the job was stopped before its end"), std::string::npos)
      << run->err();
  EXPECT_EQ(run->out().find("Finished uploading VELD Data."), std::string::npos) << run->out();
  ExpectPortReleased();
}

INSTANTIATE_TEST_SUITE_P(SigintAndSigterm, TessorctlSignals, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& info) {
                           return std::string(info.param == SIGINT ? "Sigint" : "Sigterm");
                         });

}  // namespace
}  // namespace tessor
