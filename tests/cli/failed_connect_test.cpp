// A connect whose handshake ends without the track table is a failed connect:
// no job runs on empty tables, and the exit status says so.
#include "engine/string_table.h"
#include "tessorctl_fixture.h"

namespace tessor {
namespace {

class TessorctlFailedHandshake : public test::TessorctlFixture {
 protected:
  test::ProgramResult Run(const std::string& sub) { return RunOn(slave_path_, {sub}); }

  static devsim::Scenario Silent(int command) {
    devsim::Scenario s;
    devsim::TrackSource t;
    t.date = 70314;
    t.records.assign(5 * 20, 0x5A);
    s.tracks = {t};
    s.faults.silent = {{command, 1000}};
    return s;
  }
};

// The table was sized but never filled: its rows would be all zeros.
TEST_F(TessorctlFailedHandshake, UnansweredHeaderQueryPrintsNoTrackRows) {
  StartDevice(Silent(101));
  const auto tracks = Run("tracks");
  EXPECT_EQ(tracks.status, kResultNoAnswerRetries) << tracks.out << tracks.err;
  EXPECT_NE(tracks.out.find(std::string(LoadString(196)) + "\n"), std::string::npos) << tracks.out;
  // Status lines only: no track rows.
  EXPECT_EQ(tracks.out.find('\t'), std::string::npos) << tracks.out;
}

TEST_F(TessorctlFailedHandshake, UnansweredConfigurationQueryFailsTheJob) {
  StartDevice(Silent(108));
  const auto info = Run("info");
  EXPECT_EQ(info.status, kResultNoAnswerRetries) << info.out << info.err;
  EXPECT_NE(info.out.find("Connection failure, please check device\n"), std::string::npos)
      << info.out;
  EXPECT_EQ(info.out.find("tracks\t"), std::string::npos) << info.out;
}

}  // namespace
}  // namespace tessor
