#include <stdlib.h>

#include <filesystem>

#include "device_fixture.h"
#include "logger/nmea_conversion.h"
#include "run_program.h"

namespace tessor {
namespace {

// tessorctl against the simulator on a pty, with the protocol's pauses scaled.
class TessorctlDevice : public test::DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    ::setenv("TESSOR_TIMING_SCALE", "0.5", 1);
    // A settings store of the test's own: no saved port, no numbers.
    ::setenv("XDG_CONFIG_HOME", (data_home_ + "/config").c_str(), 1);
  }

  test::ProgramResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), TESSORCTL);
    args.insert(args.begin() + 2, {"--port", slave_path_});
    return test::RunProgram(args, data_home_ + "/run");
  }
};

TEST_F(TessorctlDevice, InfoUploadDownloadAndCompare) {
  devsim::Scenario s;
  s.name = "Road Logger";
  s.capacity = 1048576;
  StartDevice(s);
  const auto info = Run({"info"});
  EXPECT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("There is no VELD in the device!! Please upload VELD first.\n"),
            std::string::npos);
  EXPECT_NE(info.out.find("name\tRoad Logger\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("firmware\t209\n"), std::string::npos);
  EXPECT_NE(info.out.find("capacity\t1048576\n"), std::string::npos);
  EXPECT_NE(info.out.find("tracks\t0\n"), std::string::npos);

  const std::vector<uint8_t> image = MakeImage(40);
  const std::string path = WriteFile("image.bin", image);
  const auto upload = Run({"upload", path, "--progress"});
  EXPECT_EQ(upload.status, 0) << upload.out << upload.err;
  EXPECT_NE(upload.out.find("Finished uploading VELD Data.\n"), std::string::npos);
  const std::string whole = std::to_string(image.size());
  EXPECT_NE(upload.err.find("progress " + whole + "/" + whole + "\n"), std::string::npos)
      << upload.err;
  EXPECT_EQ(sim_->DatabaseDump(), image);

  const std::string back = data_home_ + "/back.bin";
  const auto download = Run({"download-db", back, "--compare", path});
  EXPECT_EQ(download.status, 0) << download.out << download.err;
  EXPECT_NE(download.out.find("They are Identical !!"), std::string::npos);

  std::vector<uint8_t> other = image;
  other[500] ^= 1;
  const auto differ = Run({"download-db", back, "--compare", WriteFile("other.bin", other)});
  EXPECT_EQ(differ.status, 66);
  EXPECT_NE(differ.out.find("Data is not identical at offset 500"), std::string::npos);
}

// A user can tell a line that garbles sentences from a clean one. The first
// run meets every fourth sentence garbled from the device's first answer on,
// so its flash query (the one a connect does not ask twice) comes through.
TEST_F(TessorctlDevice, InfoVerboseCountsTheDroppedSentences) {
  devsim::Scenario s;
  s.faults.corrupt_checksum_every = 4;
  StartDevice(s);
  const auto verbose = Run({"info", "--verbose"});
  const size_t at = verbose.out.find("dropped-sentences\t");
  ASSERT_NE(at, std::string::npos) << verbose.out << verbose.err;
  EXPECT_GT(std::stoul(verbose.out.substr(at + 18)), 0u) << verbose.out;
  EXPECT_NE(verbose.out.find("dropped-blocks\t0\n"), std::string::npos) << verbose.out;
  const auto plain = Run({"info"});
  EXPECT_EQ(plain.out.find("dropped-"), std::string::npos) << "only when asked for";
}

TEST_F(TessorctlDevice, BadImageAndPortErrors) {
  StartDevice(devsim::Scenario{});
  std::vector<uint8_t> broken = MakeImage(3);
  broken.pop_back();
  const auto upload = Run({"upload", WriteFile("broken.bin", broken)});
  EXPECT_EQ(upload.status, 65);
  const auto missing = Run({"upload", data_home_ + "/none.bin"});
  EXPECT_EQ(missing.status, 65);
  const auto port =
      test::RunProgram({TESSORCTL, "info", "--port", "/dev/nonexistent-port"}, data_home_ + "/run");
  EXPECT_EQ(port.status, 3);
  EXPECT_NE(port.err.find("No such file or directory"), std::string::npos) << port.err;
  const auto silent = test::RunProgram({TESSORCTL, "battery"}, data_home_ + "/run");
  EXPECT_EQ(silent.status, 64);
}

TEST_F(TessorctlDevice, TracksDownloadAndBattery) {
  devsim::Scenario s;
  s.battery = 0;
  devsim::TrackSource a;
  a.date = 70314;
  a.format = 1;
  for (int i = 0; i < 50; ++i) {
    const float rec[4] = {0, 0.4369f + i * 1e-5f, 2.1217f, 12.5f};
    const uint8_t* b = reinterpret_cast<const uint8_t*>(rec);
    a.records.insert(a.records.end(), b, b + 16);
    a.records[a.records.size() - 16 + 1] = 9;
    a.records[a.records.size() - 16 + 3] = static_cast<uint8_t>(i);
  }
  devsim::TrackSource refused;
  refused.refused = true;
  s.tracks = {a, refused};
  StartDevice(s);

  const auto tracks = Run({"tracks"});
  EXPECT_EQ(tracks.status, 0) << tracks.err;
  EXPECT_NE(tracks.out.find("0\t070314\t1\t50\t1\n1\t000000\t0\t0\t0\n"), std::string::npos)
      << tracks.out;

  const std::string out = data_home_ + "/nmea";
  std::filesystem::create_directories(out);
  const auto download = Run({"download-tracks", "--out", out});
  EXPECT_EQ(download.status, 0) << download.err;
  EXPECT_NE(download.out.find(out + "/00000_70314.nmea\n"), std::string::npos) << download.out;
  std::string expected;
  ConvertRecords(
      70314, 1, a.records, [&](std::string_view l) { expected.append(l); },
      [](const std::string&) {});
  std::ifstream file(out + "/00000_70314.nmea", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), expected);

  const auto battery = Run({"battery"});
  EXPECT_EQ(battery.status, 0);
  EXPECT_NE(battery.out.find("battery\tlow\n"), std::string::npos);

  const auto bad_track = Run({"download-tracks", "--out", out, "--track", "1"});
  EXPECT_EQ(bad_track.status, 64);
}

#ifdef TESSOR_HAVE_PORT_DIRECTORY
TEST_F(TessorctlDevice, PortsAndComNumbers) {
  // The simulator's link in the per-user ports folder, settings in a fresh home.
  ::setenv("XDG_RUNTIME_DIR", data_home_.c_str(), 1);
  const std::string folder = data_home_ + "/tessor/ports";
  std::filesystem::create_directories(folder);
  StartDevice(devsim::Scenario{});
  std::filesystem::create_symlink(slave_path_, folder + "/tessor-devsim-test");
  const auto ports = test::RunProgram({TESSORCTL, "ports"}, data_home_ + "/run");
  ASSERT_EQ(ports.status, 0) << ports.err;
  const size_t at = ports.out.find("\t" + folder + "/tessor-devsim-test\t");
  ASSERT_NE(at, std::string::npos) << ports.out;
  const size_t line = ports.out.rfind('\n', at);
  const std::string com = ports.out.substr(line == std::string::npos ? 0 : line + 1,
                                           at - (line == std::string::npos ? 0 : line + 1));
  const auto info = test::RunProgram({TESSORCTL, "battery", "--port", com}, data_home_ + "/run");
  EXPECT_EQ(info.status, 0) << com << ": " << info.err;
  EXPECT_NE(info.out.find("battery\tok"), std::string::npos);
  const auto unknown =
      test::RunProgram({TESSORCTL, "battery", "--port", "COM200"}, data_home_ + "/run");
  EXPECT_EQ(unknown.status, 64);
  EXPECT_NE(unknown.err.find("no port COM200"), std::string::npos) << unknown.err;
}
#endif

TEST_F(TessorctlDevice, ConvertLogOffline) {
  std::vector<uint8_t> record = {0, 8, 30, 15, 0xdf, 0xb5, 0xdf, 0x3e, 0xeb, 0xc9, 0x07, 0x40};
  const std::string in = WriteFile("raw.bin", record);
  const std::string out = data_home_ + "/out.nmea";
  const auto r = test::RunProgram(
      {TESSORCTL, "convert-log", "--format", "0", "--date", "70314", in, out}, data_home_ + "/run");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "There are   0  errors in this track.Total point are  1\n");
  std::ifstream file(out, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}),
            "$GPGGA,083015.000,2502.0700,N,12133.8644,E,1,00,,0.0,M,0.0,M,,0000*43\r\n"
            "$GPRMC,083015.000,A,2502.0700,N,12133.8644,E,000.00,15.15,140307,,,E*5A\r\n");
}

}  // namespace
}  // namespace tessor
