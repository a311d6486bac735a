// The one timed test: the paced line holds 57600 baud.

#include <gtest/gtest.h>

#include "sim_harness.h"

namespace tessor::devsim::test {
namespace {

using Clock = std::chrono::steady_clock;

class PacingTest : public SimTest {};

TEST_F(PacingTest, PacedLineHoldsTheWireRateOver20KiB) {
  Run(WithTrack(1707, 0), /*pace=*/true);  // 20484 bytes of 12-byte records
  const std::string command = "$PKVN102,0,0,1707";
  const auto start = Clock::now();
  client_->Send(command);
  size_t wire_bytes = 0, payload = 0;
  Clock::time_point last = start;
  while (payload < 20484) {
    const auto r = client_->Next(std::chrono::milliseconds(1000));
    ASSERT_TRUE(r && r->block);
    payload += r->payload.size();
    wire_bytes += 8 + 3 + r->payload.size() + 5;
    last = Clock::now();
  }
  // The command itself has to cross the line before the first answer byte.
  const double seconds = std::chrono::duration<double>(last - start).count();
  const double rate = static_cast<double>(wire_bytes + command.size() + 5) / seconds;
  EXPECT_NEAR(rate, 5760.0, 5760.0 * 0.05) << "over " << seconds << " s";
}

}  // namespace
}  // namespace tessor::devsim::test
