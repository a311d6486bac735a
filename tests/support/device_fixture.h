#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "database/database_image.h"
#include "engine/device_engine.h"
#include "engine/timing.h"
#include "recording_observer.h"
#include "test_image.h"
#include "tools/devsim/pty.h"
#include "tools/devsim/simulator.h"

namespace tessor::test {

// The engine connected over a real pty to an in-process simulated device, with
// the protocol's times scaled down.
class DeviceFixture : public ::testing::Test {
 protected:
  static constexpr double kScale = 0.2;

  void SetUp() override {
    TimingScale::Set(kScale);
    char pattern[] = "/tmp/tessor-test-XXXXXX";
    data_home_ = ::mkdtemp(pattern);
    ::setenv("XDG_DATA_HOME", data_home_.c_str(), 1);
    engine_.SetObserver(&observer_);
  }

  void TearDown() override {
    engine_.StopAllThreads();
    engine_.Disconnect();
    if (sim_) sim_->Stop();
    TimingScale::Set(1.0);
    std::error_code ignored;
    std::filesystem::remove_all(data_home_, ignored);
  }

  void StartDevice(const devsim::Scenario& scenario, bool pace = false) {
    auto ends = devsim::OpenSimulatorPty();
    ASSERT_TRUE(ends.has_value());
    slave_path_ = ends->slave_path;
    devsim::SimulatorOptions options;
    options.pace = pace;
    sim_ = std::make_unique<devsim::Simulator>(ends->master, scenario, options);
    sim_->Start();
    engine_.SetPortResolver([this](int n) { return n == 1 ? slave_path_ : std::string(); });
  }

  // Waits for a condition, bounded.
  template <typename Condition>
  static bool WaitFor(Condition condition, int timeout_ms = 20000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!condition()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }

  // Every status line so far, for failure messages.
  std::string Lines() const {
    std::string all;
    for (const std::string& l : observer_.lines()) all += "\n  " + l;
    return all;
  }

  bool HasLine(const std::string& line) const {
    const auto lines = observer_.lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  bool HasNotification(int id, int64_t first, int64_t second) const {
    for (const auto& n : observer_.notifications()) {
      if (n.id == id && n.first == first && n.second == second) return true;
    }
    return false;
  }

  // A job of this kind ended once, with this result, after the line named
  // (when one is) and before a notification with this id (when not 0).
  ::testing::AssertionResult EndedOnce(OperationKind kind, ResultCode result,
                                       const std::string& after_line = "",
                                       int before_notification = 0) const {
    const auto ends = observer_.ends(kind);
    if (ends.size() != 1) return ::testing::AssertionFailure() << ends.size() << " ends";
    const RecordingObserver::End& end = ends.front();
    if (end.result != result) return ::testing::AssertionFailure() << "result " << end.result;
    if (!after_line.empty()) {
      const auto lines = observer_.lines();
      const auto at = std::find(lines.begin(), lines.end(), after_line);
      if (at == lines.end() || static_cast<size_t>(at - lines.begin()) >= end.lines_before) {
        return ::testing::AssertionFailure() << "not after \"" << after_line << "\"" << Lines();
      }
    }
    if (before_notification != 0) {
      const auto notes = observer_.notifications();
      const auto after = notes.begin() + static_cast<std::ptrdiff_t>(end.notifications_before);
      if (std::none_of(after, notes.end(),
                       [&](const auto& n) { return n.id == before_notification; })) {
        return ::testing::AssertionFailure() << "not before notification " << before_notification;
      }
    }
    return ::testing::AssertionSuccess();
  }

  std::string DataFile(const char* name) const {
    return data_home_ + "/Varnelco/Tessor Series/" + name;
  }

  static std::vector<uint8_t> MakeImage(size_t points, uint8_t fill = 0x11) {
    return MakeTestImage(points, fill);
  }

  std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = data_home_ + "/" + name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
  }

  std::string data_home_;
  std::string slave_path_;
  std::unique_ptr<devsim::Simulator> sim_;
  RecordingObserver observer_;
  CDeviceEngine engine_;
};

}  // namespace tessor::test
