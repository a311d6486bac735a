// Downloads a track of 20-byte records from the paced simulator and compares
// the transfer with the wire limit of its "$LOG102" blocks: every block's
// exact bytes (16 of framing around its payload) at 5760 bytes per second.
// Usage: track_download_bench [KiB [request-limit...]]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "bench_support.h"

using namespace tessor;

namespace {

std::vector<uint8_t> Records(size_t count) {
  std::vector<uint8_t> bytes(count * 20, 0);
  for (size_t i = 0; i < count; ++i) {
    uint8_t* r = &bytes[i * 20];
    const int t = 8 * 3600 + static_cast<int>(i % 50000);
    r[1] = static_cast<uint8_t>(t / 3600), r[2] = static_cast<uint8_t>(t / 60 % 60);
    r[3] = static_cast<uint8_t>(t % 60);
    const float lat = 0.4369f + 1e-7f * i, lon = 2.1217f, alt = 30, speed = 40;
    std::memcpy(r + 4, &lat, 4), std::memcpy(r + 8, &lon, 4);
    std::memcpy(r + 12, &alt, 4), std::memcpy(r + 16, &speed, 4);
  }
  return bytes;
}

// Bytes on the line for a track fetched in requests of `limit` bytes.
double WireSeconds(size_t total, size_t limit) {
  size_t wire = 0;
  for (size_t at = 0; at < total; at += limit) {
    const size_t request = std::min(limit, total - at);
    const size_t blocks = (request + 239) / 240;
    wire += request + 16 * blocks;
  }
  return wire / 5760.0;
}

void Run(size_t kib, uint32_t limit) {
  devsim::Scenario s;
  devsim::TrackSource track;
  track.date = 70314;
  track.format = 2;
  track.records = Records(kib * 1024 / 20);
  const size_t total = track.records.size();
  s.tracks = {track};
  bench::PacedDevice device(s);
  if (!device.ConnectAndSettle()) {
    std::printf("connect failed\n");
    return;
  }
  const std::string folder = std::filesystem::temp_directory_path() / "tessor-track-bench";
  std::filesystem::create_directories(folder);
  device.engine.SetOutputFolder(folder);
  device.engine.request_limit = limit;
  device.engine.SelectTracks({0});
  device.engine.StartTrackDownload();
  auto& received = device.engine.transfer.overall_received;
  while (received.load() == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
  const auto first = bench::Clock::now();
  while (received.load() < total &&
         device.engine.ThreadRunning(CDeviceEngine::kSlotTrackDownload)) {
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  const auto last = bench::Clock::now();
  device.WaitWorker(CDeviceEngine::kSlotTrackDownload);
  // The first block had arrived before the clock started.
  const double seconds = std::chrono::duration<double>(last - first).count() + 256 / 5760.0;
  const double limit_s = WireSeconds(total, limit - limit % 20);
  std::printf(
      "track %zu B  request limit %5u  %.2f s  wire limit %.2f s  rate %.0f B/s  ratio %.3f%s\n",
      total, limit, seconds, limit_s, total / seconds, limit_s / seconds,
      device.engine.track_download_summary().lost ? "  (track lost)" : "");
  std::filesystem::remove_all(folder);
}

}  // namespace

int main(int argc, char** argv) {
  const size_t kib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1024;
  std::vector<uint32_t> limits;
  for (int i = 2; i < argc; ++i)
    limits.push_back(static_cast<uint32_t>(std::strtoul(argv[i], nullptr, 10)));
  if (limits.empty()) limits.push_back(CDeviceEngine::kRequestLimit);
  for (uint32_t limit : limits) Run(kib, limit);
  return 0;
}
