// Runs the device procedures that only the desktop pages run, without a
// window, so that their sessions can be recorded and replayed as golden
// traces like tessorctl's subcommands.
//
//   tessor-golden-driver poi-count --port PATH
//
// poi-count: connects and asks for the POI count as the POI Download switch
// does (the configuration query, up to ten tries); prints "poi-count<TAB>N".
// The exit status is the engine's result code, 0 when the count was read.

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#include "engine/device_engine.h"
#include "logger/logger_settings.h"

namespace {

using tessor::CDeviceEngine;

class PrintingObserver : public tessor::EngineObserver {
 public:
  void OnStatusLine(const std::string& text, bool) override { std::cout << text << '\n'; }
  void OnNotification(int, int64_t, int64_t) override {}
  void OnMessageBox(const std::string&, const std::string& text) override {
    std::cout << "message: " << text << '\n';
  }
  void OnCloseRequest() override {}
};

bool WaitHandshake(CDeviceEngine& e) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!e.handshake_done() && e.link_flag.load()) {
    if (std::chrono::steady_clock::now() >= give_up) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  e.JoinEnded(CDeviceEngine::kSlotHandshake);
  return e.handshake_done() && e.link_flag.load();
}

int PoiCount(CDeviceEngine& e, const std::string& port) {
  e.SetPortResolver([port](int) { return port; });
  const int connected = e.Connect(1);
  if (connected != tessor::kResultOk && connected != tessor::kResultNoDatabase) return connected;
  if (!WaitHandshake(e)) return tessor::kResultNoAnswerRetries;
  tessor::LoggerConfig config;
  const int result = tessor::QueryLoggerConfigWithTries(e, &config, tessor::TryPacing::kBackToBack);
  if (result == tessor::kResultOk) std::cout << "poi-count\t" << config.value(13) << '\n';
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || std::strcmp(argv[1], "poi-count") != 0 || std::strcmp(argv[2], "--port") != 0) {
    std::cerr << "usage: tessor-golden-driver poi-count --port PATH\n";
    return 64;
  }
  CDeviceEngine engine;
  PrintingObserver observer;
  engine.SetObserver(&observer);
  if (const char* scale = std::getenv("TESSOR_TIMING_SCALE")) {
    const double factor = std::atof(scale);
    if (factor > 0 && factor <= 1) engine.transport().SetTimeScale(factor);
  }
  const int result = PoiCount(engine, argv[3]);
  engine.StopAllThreads();
  engine.Disconnect();
  std::cout.flush();
  return result;
}
