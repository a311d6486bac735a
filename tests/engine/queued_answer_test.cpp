#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/device_engine.h"
#include "engine/result_codes.h"

namespace tessor {
namespace {

// A link thread that writes a queued command late (a loaded machine) and the
// device that answers it at once: the answer must be taken, since the device
// only had the command for a moment.
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

  CDeviceEngine engine_;
  std::thread late_link_;
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

}  // namespace
}  // namespace tessor
