#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "database/database_image.h"
#include "engine/device_engine.h"
#include "engine/engine_observer.h"
#include "tools/devsim/pty.h"
#include "tools/devsim/simulator.h"

namespace tessor::bench {

using Clock = std::chrono::steady_clock;

// A one-cell image of that many points with varied bytes.
inline std::vector<uint8_t> Image(size_t points) {
  DatabaseHeader header;
  header.grid_x = header.grid_y = 1;
  const auto packed = PackHeader(header);
  std::vector<uint8_t> image(packed.begin(), packed.end());
  CellIndexEntry entry;
  entry.point_count = static_cast<uint32_t>(points);
  entry.point_offset = 60;
  const auto e = PackIndexEntry(entry);
  image.insert(image.end(), e.begin(), e.end());
  image.insert(image.end(), 4, 0);
  for (size_t i = 0; i < points * kPointSize; ++i) image.push_back(static_cast<uint8_t>(i * 131));
  image.insert(image.end(), 4, 0);
  return image;
}

// Notes when each status line arrived.
class TimingObserver : public EngineObserver {
 public:
  void OnStatusLine(const std::string& text, bool) override {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back({text, Clock::now()});
  }
  void OnNotification(int, int64_t, int64_t) override {}
  void OnMessageBox(const std::string&, const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back({"message: " + text, Clock::now()});
  }
  void OnCloseRequest() override {}

  // When the first line starting with the text arrived; false when none did.
  bool When(const std::string& prefix, Clock::time_point* at) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& l : lines_) {
      if (l.first.rfind(prefix, 0) == 0) {
        *at = l.second;
        return true;
      }
    }
    return false;
  }

 private:
  std::mutex mutex_;
  std::vector<std::pair<std::string, Clock::time_point>> lines_;
};

// The engine on a pty against the paced in-process simulator.
struct PacedDevice {
  explicit PacedDevice(const devsim::Scenario& scenario) {
    auto ends = devsim::OpenSimulatorPty();
    if (!ends) return;
    path = ends->slave_path;
    devsim::SimulatorOptions options;
    options.pace = true;
    sim = std::make_unique<devsim::Simulator>(ends->master, scenario, options);
    sim->Start();
    engine.SetObserver(&observer);
    engine.SetPortResolver([this](int) { return path; });
  }
  ~PacedDevice() {
    engine.StopAllThreads();
    engine.Disconnect();
    if (sim) sim->Stop();
  }

  bool ConnectAndSettle() {
    const int r = engine.Connect(1);
    if (r != kResultOk && r != kResultNoDatabase) return false;
    while (!engine.handshake_done() && engine.link_flag.load()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return engine.JoinEnded(CDeviceEngine::kSlotHandshake);
  }

  void WaitWorker(int slot) {
    while (engine.ThreadRunning(slot)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }

  std::string path;
  std::unique_ptr<devsim::Simulator> sim;
  TimingObserver observer;
  CDeviceEngine engine;
};

}  // namespace tessor::bench
