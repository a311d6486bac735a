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

  std::string DataFile(const char* name) const {
    return data_home_ + "/Varnelco/Tessor Series/" + name;
  }

  // A valid image with one cell and `points` camera points of given bytes.
  static std::vector<uint8_t> MakeImage(size_t points, uint8_t fill = 0x11) {
    DatabaseHeader header;
    header.min_latitude = 0.75f;
    header.min_longitude = -1.39f;
    header.max_latitude = 0.77f;
    header.max_longitude = -1.37f;
    header.grid_x = 1;
    header.grid_y = 1;
    const auto packed = PackHeader(header);
    std::vector<uint8_t> image(packed.begin(), packed.end());
    CellIndexEntry entry;
    entry.point_count = static_cast<uint32_t>(points);
    entry.point_offset = 60;
    const auto packed_entry = PackIndexEntry(entry);
    image.insert(image.end(), packed_entry.begin(), packed_entry.end());
    image.insert(image.end(), 4, 0);
    for (size_t i = 0; i < points * kPointSize; ++i) {
      image.push_back(static_cast<uint8_t>(fill + i * 7));
    }
    image.insert(image.end(), 4, 0);
    return image;
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
