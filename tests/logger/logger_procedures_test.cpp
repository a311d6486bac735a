// The setting and erase procedures the pages and tessorctl share, against the
// simulated logger over a pty.
#include <atomic>
#include <chrono>
#include <future>

#include "device_fixture.h"
#include "logger/erase_wait.h"
#include "logger/logger_settings.h"

namespace tessor {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

class LoggerProcedures : public test::DeviceFixture {
 protected:
  // The erase waits run slower than the other tests' protocol: their quiet
  // wait must stay well above the device's 250 ms between reports on a
  // loaded machine.
  static constexpr double kEraseScale = 0.5;

  void Connect(const devsim::Scenario& scenario) {
    StartDevice(scenario);
    const int connected = engine_.Connect(1);
    ASSERT_TRUE(connected == kResultOk || connected == kResultNoDatabase) << connected;
    ASSERT_TRUE(WaitFor([&] {
      return engine_.handshake_done() && !engine_.ThreadRunning(CDeviceEngine::kSlotHandshake);
    }));
    ASSERT_TRUE(engine_.link_flag.load()) << Lines();
  }

  // Connects to a logger that takes the erase and reports for erase_ms.
  void StartErase(uint32_t erase_ms) {
    devsim::Scenario s;
    s.erase_reports_ms = erase_ms;
    ASSERT_NO_FATAL_FAILURE(Connect(s));
    engine_.transport().SetTimeScale(kEraseScale);
    ASSERT_EQ(engine_.EraseLog(), kResultOk);
  }

  size_t Sent(const std::string& command) const {
    const std::string t = sim_->TranscriptText();
    size_t n = 0;
    for (size_t at = t.find(command); at != std::string::npos; at = t.find(command, at + 1)) ++n;
    return n;
  }
};

// The handshake's own four queries go unanswered (it fails, the line stays
// up); the silences after them fall on the procedure, paced or not.
TEST_F(LoggerProcedures, ConfigQueryTriesTenTimesAndNoMore) {
  for (const TryPacing pacing : {TryPacing::kPaused, TryPacing::kBackToBack}) {
    for (const uint32_t silences : {9u, 10u}) {
      SCOPED_TRACE(testing::Message()
                   << silences << " silences, paced " << (pacing == TryPacing::kPaused));
      devsim::Scenario s;
      s.faults.silent = {{108, 4 + silences}};
      ASSERT_NO_FATAL_FAILURE(Connect(s));
      const size_t before = Sent("$PKVN108*");
      LoggerConfig config;
      const int result = QueryLoggerConfigWithTries(engine_, &config, pacing);
      EXPECT_EQ(Sent("$PKVN108*") - before, 10u);
      if (silences == 10) {
        EXPECT_EQ(result, kResultNoAnswer);
      } else {
        EXPECT_EQ(result, kResultOk);
        EXPECT_EQ(config.value(11), 300u);
        EXPECT_EQ(config.value(12), 800u);
      }
      engine_.StopAllThreads();
      engine_.Disconnect();
      sim_->Stop();
    }
  }
}

// The gap rule is applied once the device is in the setting mode, as on the
// page: ranges closer than 200 m send no setting, 200 m apart are set.
TEST_F(LoggerProcedures, AlertRangesCloserThanTheGapSendNoSetting) {
  ASSERT_NO_FATAL_FAILURE(Connect(devsim::Scenario{}));
  const size_t modes = Sent("$PKVN113");
  EXPECT_EQ(SetAlertRangesWithTries(engine_, 900, 1000), kResultBadArgument);
  EXPECT_GT(Sent("$PKVN113"), modes);
  EXPECT_EQ(Sent("$PKVN116"), 0u);

  EXPECT_EQ(SetAlertRangesWithTries(engine_, 900, 1100), kResultOk);
  EXPECT_EQ(Sent("$PKVN116,4096,900,1100,40*"), 1u);
  EXPECT_EQ(Sent("$PKVN116"), 1u);
}

// Reports for 3 s: a wait that did not follow them would end after the first
// quiet wait, about 1 s in.
TEST_F(LoggerProcedures, EraseWaitEndsWhenTheReportsStop) {
  const auto started = Clock::now();
  ASSERT_NO_FATAL_FAILURE(StartErase(3000));
  std::vector<milliseconds> rounds;
  EraseWatch watch;
  watch.each_round = [&](milliseconds elapsed) { rounds.push_back(elapsed); };
  watch.limit_ms = 60000;
  EXPECT_EQ(WaitEraseEnd(engine_, watch), EraseEnd::kQuiet);
  EXPECT_GE(Clock::now() - started, milliseconds(3000));
  ASSERT_GT(rounds.size(), 1u);
  EXPECT_TRUE(std::is_sorted(rounds.begin(), rounds.end()));
  EXPECT_GT(rounds.back(), rounds.front());
  EXPECT_TRUE(engine_.link_flag.load());
}

TEST_F(LoggerProcedures, EraseWaitTellsALostLineFromTheEnd) {
  ASSERT_NO_FATAL_FAILURE(StartErase(120000));
  std::atomic<int> rounds{0};
  EraseWatch watch;
  watch.each_round = [&](milliseconds) { ++rounds; };
  auto end = std::async(std::launch::async, [&] { return WaitEraseEnd(engine_, watch); });
  ASSERT_TRUE(WaitFor([&] { return rounds.load() > 2; }));
  sim_.reset();  // the adapter unplugged while the device still erases
  ASSERT_EQ(end.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  EXPECT_EQ(end.get(), EraseEnd::kLineLost);
}

TEST_F(LoggerProcedures, EraseWaitEndsOnAStopRequestOrItsLimit) {
  ASSERT_NO_FATAL_FAILURE(StartErase(120000));
  int rounds = 0;
  EraseWatch stop;
  stop.each_round = [&](milliseconds) { ++rounds; };
  stop.stop_requested = [&] { return rounds == 3; };
  stop.limit_ms = 60000;
  EXPECT_EQ(WaitEraseEnd(engine_, stop), EraseEnd::kStopped);
  EXPECT_EQ(rounds, 3);
  EXPECT_TRUE(engine_.link_flag.load());

  // Still erasing at its limit. At full time the quiet wait (2 s) is eight
  // report rounds, so a loaded machine cannot pass it off as the end.
  engine_.transport().SetTimeScale(1.0);
  EraseWatch bounded;
  bounded.limit_ms = 3000;
  const auto started = Clock::now();
  EXPECT_EQ(WaitEraseEnd(engine_, bounded), EraseEnd::kStillErasing);
  EXPECT_GE(Clock::now() - started, milliseconds(3000));
}

}  // namespace
}  // namespace tessor
