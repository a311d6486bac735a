#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "engine/device_engine.h"
#include "engine/result_codes.h"
#include "engine/timing.h"

namespace tessor {
namespace {

// A link thread that writes a queued command late (a loaded machine) and the
// device that answers it at once: the answer must be taken, since the device
// only had the command for a moment.
using Clock = std::chrono::steady_clock;

class QueuedAnswer : public ::testing::Test {
 protected:
  void SetUp() override { engine_.link_flag = true; }
  void TearDown() override {
    if (late_link_.joinable()) late_link_.join();
  }

  // Stands in for the link thread: takes the command off the queue after
  // `late` and sets the answer's flag right after.
  void AnswerLate(uint32_t queue_bit, uint32_t answer_bits, std::chrono::milliseconds late) {
    late_link_ = std::thread([=, this] {
      std::this_thread::sleep_for(late);
      engine_.queued_commands.fetch_and(~queue_bit);
      engine_.SetA(answer_bits);
    });
  }

  // Stands in for the link thread as soon as the operation has queued its
  // command: `then` runs on the stand-in, and the time it ran is kept.
  void OnceQueued(uint32_t queue_bit, std::function<void()> then) {
    late_link_ = std::thread([=, this] {
      const auto limit = Clock::now() + std::chrono::seconds(20);
      while ((engine_.queued_commands.load() & queue_bit) == 0 && Clock::now() < limit) {
        std::this_thread::yield();
      }
      acted_at_ = Clock::now();
      then();
    });
  }

  // How long after the stand-in acted the operation returned.
  std::chrono::milliseconds SinceActed(Clock::time_point end) {
    late_link_.join();
    return std::chrono::duration_cast<std::chrono::milliseconds>(end - acted_at_);
  }

  CDeviceEngine engine_;
  std::thread late_link_;
  Clock::time_point acted_at_;
};

TEST_F(QueuedAnswer, AnAnswerToACommandWrittenLateIsTaken) {
  AnswerLate(queue_bit::k109, flag_a::kLog109Ok, std::chrono::milliseconds(900));
  EXPECT_EQ(engine_.EraseLog(), kResultOk);
}

TEST_F(QueuedAnswer, ACommandNeverWrittenEndsAsNoAnswerWhenTheLinkGoes) {
  engine_.link_flag = false;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(engine_.SetSpeedFilter(5), kResultNoAnswer);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4))
      << "a link that is gone never sends: no waiting for it";
}

// The waits below are far shorter than the 5000 ms a command may wait in the
// queue: an operation that missed the send, the answer or the link's end
// would sit out that limit.
TEST_F(QueuedAnswer, AnUnansweredCommandIsWaitedForItsAnswerTimeFromItsSend) {
  OnceQueued(queue_bit::k109, [this] { engine_.SendQueuedCommands(); });
  EXPECT_EQ(engine_.EraseLog(), kResultNoAnswer);
  const auto waited = SinceActed(Clock::now());
  EXPECT_GE(waited, std::chrono::milliseconds(timing::kQueuedAnswerMs));
  EXPECT_LT(waited, std::chrono::milliseconds(2500));
}

TEST_F(QueuedAnswer, AnAnswerEndsTheWaitLongBeforeItsTime) {
  OnceQueued(queue_bit::k116, [this] {
    engine_.SendQueuedCommands();
    engine_.SetA(flag_a::kAlertSaved);
  });
  EXPECT_EQ(engine_.SetAlertRanges(1, 2), kResultOk);
  EXPECT_LT(SinceActed(Clock::now()), std::chrono::milliseconds(timing::kAlertRangesAnswerMs / 2));
}

TEST_F(QueuedAnswer, ABusyDeviceEndsTheWaitButANotBusyReportDoesNot) {
  OnceQueued(queue_bit::k109, [this] {
    engine_.SendQueuedCommands();
    engine_.busy_value = 0;
    engine_.SetB(flag_b::kBusy);
  });
  EXPECT_EQ(engine_.EraseLog(), kResultNoAnswer);
  EXPECT_GE(SinceActed(Clock::now()), std::chrono::milliseconds(timing::kQueuedAnswerMs));

  OnceQueued(queue_bit::k116, [this] {
    engine_.SendQueuedCommands();
    engine_.busy_value = 1;
    engine_.SetB(flag_b::kBusy);
  });
  EXPECT_EQ(engine_.SetAlertRanges(1, 2), kResultDeviceBusy);
  EXPECT_LT(SinceActed(Clock::now()), std::chrono::milliseconds(timing::kAlertRangesAnswerMs / 2));
}

TEST_F(QueuedAnswer, ALinkThatGoesWhileTheCommandIsQueuedEndsTheWaitAtOnce) {
  OnceQueued(queue_bit::k105, [this] { engine_.link_flag = false; });
  EXPECT_EQ(engine_.SetSpeedFilter(5), kResultNoAnswer);
  EXPECT_LT(SinceActed(Clock::now()), std::chrono::milliseconds(2500));
}

}  // namespace
}  // namespace tessor
