// The offline and database subcommands never end with 0 after a failure: a
// lost or silent device, an output that cannot be written, standard output
// included.
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "../database/test_files.h"
#include "running_program.h"
#include "tessorctl_fixture.h"

namespace tessor {
namespace {

using test::TempFolder;

class TessorctlFailureExits : public test::TessorctlFixture {
 protected:
  // The exit status with standard output on /dev/full: every write to it fails.
  int StatusWithFullOutput(std::vector<std::string> args) {
    const std::string scratch = data_home_ + "/full";
    std::error_code exists;
    std::filesystem::create_symlink("/dev/full", scratch + ".stdout", exists);
    args.insert(args.begin(), TESSORCTL);
    test::RunningProgram program(args, scratch);
    return program.WaitExit(std::chrono::seconds(120));
  }
};

TEST_F(TessorctlFailureExits, LinesThatCannotBeWrittenAreNoSuccess) {
  TempFolder folder;
  test::WriteFile(folder.File("POI.csv"),
                  "Latitude,Longitude,direction,vmax,Type,Comments\r\n1,2,0,0,0,x\r\n");
  test::WriteFile(folder.File("cameras.csv"), test::TorontoCameraCsv(test::TorontoPositions()));
  EXPECT_EQ(StatusWithFullOutput({"poi-check", folder.File("POI.csv")}), 74);
  EXPECT_EQ(StatusWithFullOutput({"poi-check", "--json", folder.File("POI.csv")}), 74);
  EXPECT_EQ(
      StatusWithFullOutput({"build-image", folder.File("cameras.csv"), folder.File("db.bin")}), 74);
  EXPECT_EQ(StatusWithFullOutput({"image-info", folder.File("db.bin")}), 74);
  // A failure of its own keeps its status.
  EXPECT_EQ(StatusWithFullOutput({"image-info", folder.File("missing.bin")}), 65);

  StartDevice(devsim::Scenario{});
  EXPECT_EQ(StatusWithFullOutput({"battery", "--port", slave_path_}), 74);
}

TEST_F(TessorctlFailureExits, UnwritableOutputsExit74) {
  devsim::Scenario holding;
  holding.database = MakeImage(12);
  StartDevice(holding);
  // A folder stands where the file belongs.
  const std::string taken = data_home_ + "/taken";
  std::filesystem::create_directories(taken);
  const auto download = RunOn(slave_path_, {"download-db", taken});
  EXPECT_EQ(download.status, 74) << download.out << download.err;
  EXPECT_NE(download.err.find(std::strerror(EISDIR)), std::string::npos) << download.err;
}

TEST_F(TessorctlFailureExits, ASilentOrLostDeviceIsNoSuccess) {
  devsim::Scenario silent;
  silent.faults.silent = {{4, 1000}};  // the battery query
  StartDevice(silent);
  const auto battery = RunOn(slave_path_, {"battery", "--json"});
  EXPECT_NE(battery.status, 0) << battery.err;
  EXPECT_EQ(battery.out, "") << "no document for a failed query";

  sim_->Stop();
  devsim::Scenario lost;
  lost.faults.vanish_after_bytes = 40;  // gone during the connect
  StartDevice(lost);
  for (const char* sub : {"info", "alert-ranges"}) {
    const auto r = RunOn(slave_path_, {sub}, sub);
    EXPECT_TRUE(sim_->vanished());
    EXPECT_NE(r.status, 0) << sub << r.out << r.err;
    EXPECT_EQ(r.out.find('\t'), std::string::npos) << sub << ": " << r.out;
  }
}

}  // namespace
}  // namespace tessor
