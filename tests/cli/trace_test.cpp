// tessorctl --trace FILE records the whole device session: the same bytes
// both ways that the device saw, the port's open and close, written beside
// FILE and renamed when the session ends, also when it was interrupted.
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/trace_format.h"
#include "filled_track.h"
#include "part_files.h"
#include "running_program.h"
#include "tessorctl_fixture.h"

namespace tessor {
namespace {

using trace::Direction;

struct Sides {
  std::string host, device;
  std::vector<std::string> notes;
};

Sides Split(const std::vector<trace::Line>& lines) {
  Sides sides;
  for (const trace::Line& line : lines) {
    if (line.direction == Direction::kHost) sides.host += line.bytes;
    if (line.direction == Direction::kDevice) sides.device += line.bytes;
    if (line.direction == Direction::kNote) sides.notes.push_back(line.bytes);
  }
  return sides;
}

class TessorctlTrace : public test::TessorctlFixture {
 protected:
  std::vector<std::string> Traced(const std::string& file, std::vector<std::string> job) {
    std::vector<std::string> args = {TESSORCTL, "--trace", file};
    args.insert(args.end(), job.begin(), job.end());
    args.insert(args.begin() + 4, {"--port", slave_path_});
    return args;
  }

  // What the simulator itself saw, once it has taken in every host sentence.
  Sides DeviceSide(const std::string& host_expected) {
    Sides sides;
    WaitFor([&] {
      std::vector<trace::Line> lines;
      std::string error;
      if (!trace::ParseTrace(sim_->TranscriptText(), &lines, &error)) return false;
      sides = Split(lines);
      return sides.host == host_expected;
    });
    return sides;
  }

  static Sides ReadSides(const std::string& path) {
    std::vector<trace::Line> lines;
    std::string error;
    EXPECT_TRUE(trace::ReadTrace(path, &lines, &error)) << error;
    return Split(lines);
  }
};

TEST_F(TessorctlTrace, RecordsTheBytesBothSidesSawWithOpenAndClose) {
  StartDevice(devsim::Scenario{});
  const std::string file = data_home_ + "/info.trace";
  const auto run = test::RunProgram(Traced(file, {"info"}), data_home_ + "/run");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("name\tDevSim Logger\n"), std::string::npos) << run.out;
  EXPECT_FALSE(test::PartFileLeft(file));

  const Sides host = ReadSides(file);
  ASSERT_FALSE(host.host.empty());
  ASSERT_FALSE(host.device.empty());
  ASSERT_GE(host.notes.size(), 2u);
  EXPECT_EQ(host.notes.front(), "open " + slave_path_);
  EXPECT_EQ(host.notes.back(), "close");

  const Sides device = DeviceSide(host.host);
  EXPECT_EQ(device.host, host.host) << "the host wrote what the device read";
  // The device may go on sending after the host has closed the port.
  EXPECT_EQ(device.device.substr(0, host.device.size()), host.device)
      << "the host read what the device wrote";
}

TEST_F(TessorctlTrace, UnwritableTraceFailsBeforeTheDeviceIsContacted) {
  StartDevice(devsim::Scenario{});
  const std::string file = data_home_ + "/no/such/folder/job.trace";
  const auto run = test::RunProgram(Traced(file, {"info"}), data_home_ + "/run");
  EXPECT_EQ(run.status, 74) << run.out << run.err;
  EXPECT_NE(run.err.find("cannot write the trace " + file + ".part: "), std::string::npos)
      << run.err;
  EXPECT_EQ(run.out, "");
  const std::string seen = sim_->TranscriptText();
  EXPECT_EQ(seen.find(" H "), std::string::npos) << seen;
}

// The side file is written, but it cannot take the name of a folder: the job
// itself succeeded, yet what was asked for is missing.
TEST_F(TessorctlTrace, TraceThatCannotBeCompletedIsNoSuccess) {
  StartDevice(devsim::Scenario{});
  const std::string file = data_home_ + "/taken";
  std::filesystem::create_directories(file + "/inside");
  const auto run = test::RunProgram(Traced(file, {"info"}), data_home_ + "/run");
  EXPECT_EQ(run.status, 74) << run.out << run.err;
  EXPECT_NE(run.err.find("cannot complete the trace " + file + ": "), std::string::npos) << run.err;
  EXPECT_TRUE(std::filesystem::exists(file + ".part")) << "the recorded session is kept";
}

TEST_F(TessorctlTrace, InterruptedJobLeavesACompleteTrace) {
  devsim::Scenario s;
  s.tracks = {test::FilledTrack(70314, 20), test::FilledTrack(70315, 4000)};
  StartDevice(s, /*pace=*/true);
  const std::string file = data_home_ + "/stopped.trace";
  const std::string out = data_home_ + "/nmea";
  std::filesystem::create_directories(out);
  test::RunningProgram run(Traced(file, {"download-tracks", "--out", out, "--progress"}),
                           data_home_ + "/running");
  ASSERT_TRUE(run.started());
  ASSERT_TRUE(
      WaitFor([&] { return run.err().find("phase track 2 of 2") != std::string::npos; }, 120000))
      << run.out() << run.err();
  run.Signal(SIGINT);
  EXPECT_EQ(run.WaitExit(std::chrono::milliseconds(120000)), 128 + SIGINT) << run.err();

  EXPECT_FALSE(test::PartFileLeft(file));
  const Sides host = ReadSides(file);
  EXPECT_NE(host.host.find("$PKVN102,"), std::string::npos) << "the track requests are in it";
  ASSERT_FALSE(host.notes.empty());
  EXPECT_EQ(host.notes.back(), "close");
}

}  // namespace
}  // namespace tessor
