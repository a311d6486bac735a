// Numbers on tessorctl's command line are decimal, leading zeros and all, and
// a value out of its range or not a number at all is refused by name.
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tessorctl_fixture.h"

namespace tessor {
namespace {

class TessorctlNumbers : public test::TessorctlFixture {};

// One raw record of format 0 (12 bytes) at 08:30:15.
const std::vector<uint8_t> kRecord = {0, 8, 30, 15, 0xdf, 0xb5, 0xdf, 0x3e, 0xeb, 0xc9, 0x07, 0x40};

TEST_F(TessorctlNumbers, DatesOfTheFirstDecadeKeepTheirLeadingZero) {
  const std::string in = WriteFile("raw.bin", kRecord);
  const struct {
    const char* date;
    const char* rmc;  // DDMMYY as the RMC sentence carries it
  } cases[] = {{"070314", ",140307,"},
               {"080314", ",140308,"},
               {"090101", ",010109,"},
               {"70314", ",140307,"},
               {"000229", ",290200,"}};
  for (const auto& c : cases) {
    const std::string out = data_home_ + "/" + c.date + ".nmea";
    const auto r =
        test::RunProgram({TESSORCTL, "convert-log", "--format", "0", "--date", c.date, in, out},
                         data_home_ + "/run");
    EXPECT_EQ(r.status, 0) << c.date << ": " << r.err;
    std::ifstream file(out, std::ios::binary);
    const std::string nmea(std::istreambuf_iterator<char>(file), {});
    EXPECT_NE(nmea.find(c.rmc), std::string::npos) << c.date << ":\n" << nmea;
  }
}

TEST_F(TessorctlNumbers, OutOfRangeOrNotANumberIsRefusedByName) {
  const std::string in = WriteFile("raw.bin", kRecord);
  const std::string out = data_home_ + "/out.nmea";
  const auto convert = [&](const char* format, const char* date) {
    return std::vector<std::string>{"convert-log", "--format", format, "--date", date, in, out};
  };
  const auto config = [](const char* interval, const char* data_type) {
    return std::vector<std::string>{"set-log-config", "--port",        "/dev/null", "--log-type",
                                    "time",           "--interval",    interval,    "--data-type",
                                    data_type,        "--memory-full", "stop"};
  };
  const struct {
    std::vector<std::string> args;
    const char* option;
    const char* range;
  } cases[] = {
      {convert("0", "999999"), "--date", "YYMMDD"},
      {convert("0", ""), "--date", "YYMMDD"},
      {convert("0", "070229"), "--date", "YYMMDD"},  // 2007 was no leap year
      {convert("0", "071301"), "--date", "YYMMDD"},
      {convert("3", "070314"), "--format", "0 to 2"},
      {convert("", "070314"), "--format", "0 to 2"},
      {config("0", "1"), "--interval", "1 to 60"},
      {config("61", "1"), "--interval", "1 to 60"},
      {config("", "1"), "--interval", "1 to 60"},
      {config("4294967295", "1"), "--interval", "1 to 60"},
      {config("0x10", "1"), "--interval", "1 to 60"},
      {config("10", "3"), "--data-type", "0 to 2"},
      {{"set-speed-filter", "--port", "/dev/null", "-1"}, "N", "0 to 2147483647"},
      {{"set-speed-filter", "--port", "/dev/null", ""}, "N", "0 to 2147483647"},
      {{"download-tracks", "--port", "/dev/null", "--out", data_home_, "--track", ""},
       "--track",
       "0 to 65535"},
      {{"alert-ranges", "--port", "/dev/null", "--critical", "0250", "--notification", "800"},
       "--critical",
       "200 to 1800"},
      {{"build-image", in, out, "--capacity", "0"}, "--capacity", "1 to 4294967295"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), TESSORCTL);
    const auto r = test::RunProgram(args, data_home_ + "/run");
    const std::string said = r.out + r.err;
    EXPECT_EQ(r.status, 64) << args[1] << " " << c.option << ": " << said;
    EXPECT_NE(said.find(c.option), std::string::npos) << said;
    EXPECT_NE(said.find(c.range), std::string::npos) << said;
  }
}

// "010" is ten, as a user means it, on the wire too.
TEST_F(TessorctlNumbers, LeadingZerosAreSentAsDecimal) {
  StartDevice(devsim::Scenario{});
  const auto config = RunOn(slave_path_, {"set-log-config", "--log-type", "time", "--interval",
                                          "010", "--data-type", "01", "--memory-full", "stop"});
  EXPECT_EQ(config.status, 0) << config.out << config.err;
  const auto filter = RunOn(slave_path_, {"set-speed-filter", "010"});
  EXPECT_EQ(filter.status, 0) << filter.out << filter.err;
  const auto ranges =
      RunOn(slave_path_, {"alert-ranges", "--critical", "0500", "--notification", "01200"});
  EXPECT_EQ(ranges.status, 0) << ranges.out << ranges.err;
  const std::string wire = sim_->TranscriptText();
  EXPECT_NE(wire.find("$PKVN104,0,10,1,1*"), std::string::npos) << wire;
  EXPECT_NE(wire.find("$PKVN105,10*"), std::string::npos) << wire;
  EXPECT_NE(wire.find(",500,1200"), std::string::npos) << wire;
}

}  // namespace
}  // namespace tessor
