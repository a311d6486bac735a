#include <stdlib.h>

#include "device_fixture.h"
#include "run_program.h"

namespace tessor {
namespace {

// tessorctl alert-ranges against the simulator (critical 300, notification 800 at start).
class AlertRanges : public test::DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    ::setenv("TESSOR_TIMING_SCALE", "0.2", 1);
  }

  test::ProgramResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), {TESSORCTL, "alert-ranges", "--port", slave_path_});
    return test::RunProgram(args, data_home_ + "/run");
  }

  size_t Sent(const std::string& command) const {
    const std::string text = sim_->TranscriptText();
    size_t count = 0;
    for (size_t at = text.find(command); at != std::string::npos; at = text.find(command, at + 1)) {
      ++count;
    }
    return count;
  }
};

TEST_F(AlertRanges, PrintsTheDeviceRangesAndSetsNewOnes) {
  StartDevice(devsim::Scenario{});
  const auto before = Run({});
  EXPECT_EQ(before.status, 0) << before.err;
  EXPECT_NE(before.out.find("critical\t300\nnotification\t800\n"), std::string::npos) << before.out;
  EXPECT_EQ(Sent("$PKVN116"), 0u);

  const auto set = Run({"--critical", "500", "--notification", "1200"});
  EXPECT_EQ(set.status, 0) << set.out << set.err;
  EXPECT_NE(set.err.find("message: Set VELD configuration successfully!!\n"), std::string::npos);
  EXPECT_NE(set.out.find("critical\t500\nnotification\t1200\n"), std::string::npos) << set.out;
  // The POI number and the COG are never the user's: always 4096 and 40.
  EXPECT_EQ(Sent("$PKVN116,4096,500,1200,40*"), 1u);

  const auto after = Run({});
  EXPECT_NE(after.out.find("critical\t500\nnotification\t1200\n"), std::string::npos) << after.out;
}

TEST_F(AlertRanges, SameValuesAndTooCloseRangesSendNoSetting) {
  StartDevice(devsim::Scenario{});
  const auto same = Run({"--critical", "300", "--notification", "800"});
  EXPECT_EQ(same.status, 0) << same.err;
  EXPECT_NE(same.err.find("message: Critical range and notification range should not be the same "
                          "with the device setting!!"),
            std::string::npos)
      << same.err;
  const size_t mode_commands = Sent("$PKVN113");

  const auto close = Run({"--critical", "900", "--notification", "1000"});
  EXPECT_EQ(close.status, 64);
  EXPECT_NE(
      close.err.find("message: Notification range should be more than critical range 200 M!!"),
      std::string::npos)
      << close.err;
  EXPECT_EQ(close.out.find("critical\t"), std::string::npos);
  // The refusal comes after the mode command, as on the page.
  EXPECT_GT(Sent("$PKVN113"), mode_commands + 1);
  EXPECT_EQ(Sent("$PKVN116"), 0u);
}

TEST_F(AlertRanges, BadUsageNeverConnects) {
  StartDevice(devsim::Scenario{});
  EXPECT_EQ(Run({"--critical", "500"}).status, 64);
  EXPECT_EQ(Run({"--critical", "250", "--notification", "800"}).status, 64);
  EXPECT_EQ(Run({"--critical", "500", "--notification", "2100"}).status, 64);
  EXPECT_EQ(Run({"--critical", "x", "--notification", "800"}).status, 64);
  EXPECT_EQ(Sent("$PKVN"), 0u);
}

TEST_F(AlertRanges, DeviceBusyAtEveryTryEndsWithCode17) {
  devsim::Scenario s;
  s.faults.busy.push_back({116, 50});
  StartDevice(s);
  const auto set = Run({"--critical", "400", "--notification", "1000"});
  EXPECT_EQ(set.status, 17) << set.err;
  EXPECT_NE(set.err.find("message: Failed to set VELD configuration!! Please retry latter."),
            std::string::npos);
  EXPECT_EQ(Sent("$PKVN116,4096,400,1000,40*"), 10u);
}

}  // namespace
}  // namespace tessor
