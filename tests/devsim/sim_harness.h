#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sim_client.h"
#include "tools/devsim/pty.h"
#include "tools/devsim/scenario.h"
#include "tools/devsim/simulator.h"

namespace tessor::devsim::test {

// A simulator serving a scenario on a fresh pty, and a host client on its slave.
class SimTest : public ::testing::Test {
 protected:
  void Run(const Scenario& scenario, bool pace = false) {
    const auto ends = OpenSimulatorPty();
    ASSERT_TRUE(ends.has_value());
    sim_ = std::make_unique<Simulator>(ends->master, scenario, SimulatorOptions{pace, false});
    client_ = std::make_unique<SimClient>(ends->slave_path);
    ASSERT_TRUE(client_->is_open());
    sim_->Start();
  }

  void TearDown() override {
    if (sim_) sim_->Stop();
  }

  // The text of the answer to one command, "" when none came.
  std::string Answer(const std::string& command) {
    const auto r = client_->Ask(command);
    if (!r) return "";
    EXPECT_TRUE(r->checksum_ok) << r->text;
    return r->text;
  }

  std::unique_ptr<Simulator> sim_;
  std::unique_ptr<SimClient> client_;
};

// A scenario with one generated track of `points` records of the format.
inline Scenario WithTrack(uint32_t points, int format = 2) {
  Scenario s;
  TrackSource t;
  t.date = 70314;
  t.format = format;
  // A byte pattern that holds "$", "*", CR and LF, as real records may.
  for (uint32_t i = 0; i < points * RecordSize(format); ++i) {
    t.records.push_back(static_cast<uint8_t>(i * 7 + 1));
  }
  s.tracks.push_back(t);
  return s;
}

}  // namespace tessor::devsim::test
