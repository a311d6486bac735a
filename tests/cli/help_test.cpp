// What a person learns from tessorctl without reading the sources.
#include <string>
#include <vector>

#include "run_program.h"
#include "tessorctl_fixture.h"

namespace tessor {
namespace {

class TessorctlHelp : public test::TessorctlFixture {
 protected:
  test::ProgramResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), TESSORCTL);
    return test::RunProgram(args, data_home_ + "/run");
  }
};

TEST_F(TessorctlHelp, UnknownSubcommandNamesTheSubcommands) {
  const auto r = Run({"frobnicate", "--port", "COM3"});
  EXPECT_EQ(r.status, 64);
  EXPECT_NE(r.err.find("unknown subcommand 'frobnicate'"), std::string::npos) << r.err;
  for (const char* name : {"info", "download-tracks", "convert-log", "convert-mobile"})
    EXPECT_NE(r.err.find(std::string(" ") + name), std::string::npos) << name << ": " << r.err;
}

TEST_F(TessorctlHelp, OptionsSayTheirUnitsRangesAndDefaults) {
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> said;
  } cases[] = {
      {{"info", "--help"}, {"default: the port the desktop program saved"}},
      {{"set-log-config", "--help"},
       {"seconds (--log-type time) or metres (--log-type distance)", "1 to 60",
        "records of 12, 16 or 20 bytes"}},
      {{"convert-log", "--help"},
       {"the bytes of one track", "NMEA file to write", "YYMMDD", "nmea (default), gpx or kml"}},
      {{"download-tracks", "--help"}, {"repeatable; nmea alone by default"}},
      {{"alert-ranges", "--help"}, {"200, 300, ... 1800", "400, 500, ... 2000"}},
      {{"set-log-config", "--help"}, {"after a time (time)", "overwrite the oldest points"}},
      {{"set-switches", "--help"}, {"logging of track points", "the GPS-mouse mode"}},
      {{"set-speed-filter", "--help"}, {"the device's own unit, 0 to 2147483647"}},
      {{"build-image", "--help"}, {"cell size in km: 1, 2, 3, 5 or 10", "(default 2097152)"}},
      {{"poi-check", "--help"}, {"MINLON,MINLAT,MAXLON,MAXLAT in degrees", "printed as \\t"}},
  };
  for (const auto& c : cases) {
    const auto r = Run(c.args);
    EXPECT_EQ(r.status, 0) << c.args[0];
    for (const std::string& text : c.said)
      EXPECT_NE(r.out.find(text), std::string::npos) << c.args[0] << " lacks " << text << ":\n"
                                                     << r.out;
  }
}

}  // namespace
}  // namespace tessor
