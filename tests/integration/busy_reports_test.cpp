// Busy reports: only a busy value of 1 means busy. A device may say
// "$LOG000,0" (not busy) before each answer.
#include "device_fixture.h"
#include "engine/string_table.h"

namespace tessor {
namespace {

using test::DeviceFixture;

class BusyReports : public DeviceFixture {
 protected:
  // Paced, so that the answer comes a little after the report before it.
  void ConnectAndWait(const devsim::Scenario& s) {
    StartDevice(s, true);
    ASSERT_NE(engine_.Connect(1), kResultPortOpen);
    ASSERT_TRUE(WaitFor([&] { return engine_.handshake_done(); }, 60000));
    ASSERT_TRUE(engine_.JoinEnded(CDeviceEngine::kSlotHandshake));
  }
};

TEST_F(BusyReports, NotBusyBeforeEachAnswerIsNoBusyAndNoSilence) {
  devsim::Scenario s;
  s.battery = 0;
  devsim::TrackSource t;
  t.date = 70314;
  t.records.assign(3 * 20, 0x5A);
  s.tracks = {t};
  s.faults.not_busy_reports = true;
  ConnectAndWait(s);
  EXPECT_TRUE(HasLine(LoadString(248))) << Lines();

  uint8_t battery = 1;
  EXPECT_EQ(engine_.QueryBattery(&battery), kResultOk);
  EXPECT_EQ(battery, 0);
  FlashUsage usage;
  EXPECT_EQ(engine_.QueryFlashUsage(&usage), kResultOk);
  EXPECT_EQ(engine_.SetLogSwitches(1, 0), kResultOk);
  EXPECT_EQ(engine_.SetLoggerConfig(0, 5, 2, 1), kResultOk);
  EXPECT_EQ(engine_.SetSpeedFilter(10), kResultOk);
  LoggerConfig config;
  EXPECT_EQ(engine_.QueryLoggerConfig(&config), kResultOk);
  EXPECT_EQ(config.track_header_count, 1u);
  EXPECT_EQ(engine_.SetAlertRanges(300, 800), kResultOk);
  EXPECT_EQ(engine_.EraseLog(), kResultOk);
}

TEST_F(BusyReports, BusyValueOneStillEndsAShortOperationWith17) {
  devsim::Scenario s;
  s.faults.not_busy_reports = true;
  s.faults.busy = {{4, 1}, {105, 1}};
  ConnectAndWait(s);
  uint8_t battery = 0;
  EXPECT_EQ(engine_.QueryBattery(&battery), kResultDeviceBusy);
  EXPECT_EQ(engine_.QueryBattery(&battery), kResultOk);
  EXPECT_EQ(engine_.SetSpeedFilter(10), kResultDeviceBusy);
  EXPECT_EQ(engine_.SetSpeedFilter(10), kResultOk);
}

}  // namespace
}  // namespace tessor
