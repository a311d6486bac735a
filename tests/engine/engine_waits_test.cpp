// The engine's waits end as soon as what they wait for happens on another
// thread, and still end at their time-out when it never does.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "engine/device_engine.h"
#include "engine/timing.h"
#include "engine/wake_signal.h"

namespace tessor {
namespace {

using Clock = WakeSignal::Clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

// Far longer than any wait below takes when it is woken: a wait that missed
// its wake-up runs into it.
constexpr auto kLongDeadline = seconds(30);
constexpr auto kPrompt = seconds(10);

TEST(WakeSignal, AWaitEndsWhenAnotherThreadMakesItsConditionTrue) {
  WakeSignal wake;
  std::atomic<bool> ready{false};
  // Many rounds, the change racing the waiter's test: a change that lands
  // between the test and the sleep would leave its round asleep.
  for (int round = 0; round < 200; ++round) {
    ready = false;
    const auto start = Clock::now();
    std::thread setter([&] {
      ready = true;
      wake.Notify();
    });
    const bool done = wake.WaitUntil(start + kLongDeadline, [&] { return ready.load(); });
    setter.join();
    ASSERT_TRUE(done) << round;
    ASSERT_LT(Clock::now() - start, kPrompt) << round;
  }
}

TEST(WakeSignal, WakeUpsThatLeaveTheConditionFalseDoNotEndTheWait) {
  WakeSignal wake;
  std::atomic<bool> stop{false};
  std::thread noise([&] {
    while (!stop.load()) {
      wake.Notify();
      std::this_thread::yield();
    }
  });
  const auto start = Clock::now();
  const bool done = wake.WaitUntil(start + milliseconds(200), [] { return false; });
  const auto took = Clock::now() - start;
  stop = true;
  noise.join();
  EXPECT_FALSE(done);
  EXPECT_GE(took, milliseconds(200));
  EXPECT_LT(took, kPrompt);
}

TEST(WakeSignal, AStoppedFlagWakesTheWaitOnIt) {
  WakeSignal wake;
  WakingFlag running(wake, true);
  const auto start = Clock::now();
  std::thread stopper([&] { running = false; });
  const bool stopped = wake.WaitUntil(start + kLongDeadline, [&] { return !running.load(); });
  stopper.join();
  EXPECT_TRUE(stopped);
  EXPECT_LT(Clock::now() - start, kPrompt);
  EXPECT_FALSE(running);
}

// The link thread without a port: it only pauses and tests its flag.
class Engine : public CDeviceEngine {
 public:
  using CDeviceEngine::LinkThread;
};

class ThreadEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    // The stop time of 5000 ms on the line's clock becomes 100 ms.
    engine_.port.SetTimeScale(0.02);
    engine_.link_flag = true;
    ASSERT_EQ(engine_.StartThread(CDeviceEngine::kSlotLink, &Engine::LinkThread), kResultOk);
  }
  void TearDown() override { engine_.StopAllThreads(); }

  Engine engine_;
};

TEST_F(ThreadEnd, AThreadThatDoesNotEndIsGivenUpAtTheStopTime) {
  const auto start = Clock::now();
  EXPECT_FALSE(engine_.JoinEnded(CDeviceEngine::kSlotLink));
  const auto took = Clock::now() - start;
  EXPECT_GE(took, milliseconds(engine_.transport().WaitMs(timing::kStopThreadWaitMs)));
  EXPECT_LT(took, kPrompt);
  EXPECT_TRUE(engine_.ThreadRunning(CDeviceEngine::kSlotLink));
}

TEST_F(ThreadEnd, AThreadThatEndsIsJoinedAtOnce) {
  engine_.port.SetTimeScale(1.0);  // a stop time of 5000 ms
  const auto start = Clock::now();
  engine_.StopThread(CDeviceEngine::kSlotLink);
  EXPECT_LT(Clock::now() - start, milliseconds(2500));
  EXPECT_FALSE(engine_.ThreadRunning(CDeviceEngine::kSlotLink));

  ASSERT_EQ(engine_.StartThread(CDeviceEngine::kSlotLink, &Engine::LinkThread), kResultOk);
  engine_.link_flag = false;
  const auto again = Clock::now();
  EXPECT_TRUE(engine_.JoinEnded(CDeviceEngine::kSlotLink));
  EXPECT_LT(Clock::now() - again, milliseconds(2500));
}

}  // namespace
}  // namespace tessor
