// Retry limits of the connect handshake, on both sides of the limit.
#include "device_fixture.h"
#include "engine/string_table.h"

namespace tessor {
namespace {

class RetryLimits : public test::DeviceFixture {
 protected:
  void ConnectWithSilentConfiguration(uint32_t silences) {
    devsim::Scenario s;
    s.faults.silent = {{108, silences}};
    StartDevice(s);
    engine_.Connect(1);
    ASSERT_TRUE(WaitFor([&] {
      return engine_.handshake_done() && !engine_.ThreadRunning(CDeviceEngine::kSlotHandshake);
    }));
  }

  size_t Sent(const std::string& command) const {
    const std::string t = sim_->TranscriptText();
    size_t n = 0;
    for (size_t at = t.find(command); at != std::string::npos; at = t.find(command, at + 1)) ++n;
    return n;
  }
};

// The configuration query is sent four times at most: three silences are
// survived, the fourth ends the handshake with its failure line, done.
TEST_F(RetryLimits, ThreeUnansweredConfigurationQueriesAreSurvived) {
  ConnectWithSilentConfiguration(3);
  EXPECT_EQ(Sent("$PKVN108*"), 4u);
  EXPECT_FALSE(HasLine("Connection failure, please check device")) << Lines();
  EXPECT_TRUE(HasLine(LoadString(248)));
  EXPECT_TRUE(engine_.track_table_read());
}

TEST_F(RetryLimits, FourUnansweredConfigurationQueriesEndTheHandshake) {
  ConnectWithSilentConfiguration(4);
  EXPECT_EQ(Sent("$PKVN108*"), 4u);
  EXPECT_TRUE(HasLine("Connection failure, please check device")) << Lines();
  EXPECT_FALSE(HasLine(LoadString(248)));
  EXPECT_FALSE(engine_.track_table_read());
}

}  // namespace
}  // namespace tessor
