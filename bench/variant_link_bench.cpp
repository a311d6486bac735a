// Runs connect, upload, database download and track download over a slow link
// (the answers' latency and the delivery in bursts of a Bluetooth serial
// link) and compares each transfer's payload rate with the wire limit, 5760
// bytes per second, and with the same transfer on a plain paced line.
// Usage: variant_link_bench [KiB]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "bench_support.h"

using namespace tessor;

namespace {

struct Link {
  const char* name;
  uint32_t latency_ms;
  bool chunked;
};

std::vector<uint8_t> TrackRecords(size_t bytes) {
  std::vector<uint8_t> records(bytes - bytes % 20);
  for (size_t i = 0; i < records.size(); ++i) records[i] = static_cast<uint8_t>(i * 7);
  for (size_t r = 0; r < records.size(); r += 20) {
    records[r + 1] = 8, records[r + 2] = static_cast<uint8_t>(r / 20 / 60 % 60);
    records[r + 3] = static_cast<uint8_t>(r / 20 % 60);
  }
  return records;
}

double Seconds(bench::Clock::time_point from, bench::Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

void Report(const char* link, const char* job, size_t bytes, double seconds, bool ok) {
  if (!ok) {
    std::printf("%-18s %-15s FAILED after %.1f s\n", link, job, seconds);
    return;
  }
  if (bytes == 0) {
    std::printf("%-18s %-15s %7.2f s\n", link, job, seconds);
    return;
  }
  std::printf("%-18s %-15s %7.2f s  %6zu B  %5.0f B/s  ratio to wire limit %.3f\n", link, job,
              seconds, bytes, bytes / seconds, bytes / seconds / 5760.0);
}

void Run(const Link& link, const std::vector<uint8_t>& image, const std::string& image_path,
         size_t track_bytes) {
  devsim::Scenario s;
  s.erase_reports_ms = 500;
  devsim::TrackSource track;
  track.date = 70314;
  track.format = 2;
  track.records = TrackRecords(track_bytes);
  s.tracks = {track};
  s.variant.latency_ms = link.latency_ms;
  if (link.chunked) s.variant.chunk = devsim::Chunk{16, 30};
  bench::PacedDevice device(s);
  CDeviceEngine& e = device.engine;

  auto start = bench::Clock::now();
  const bool connected = device.ConnectAndSettle();
  Report(link.name, "connect", 0, Seconds(start, bench::Clock::now()), connected);
  if (!connected) return;

  e.SetImagePath(image_path);
  start = bench::Clock::now();
  e.StartDatabaseUpload();
  device.WaitWorker(CDeviceEngine::kSlotDatabaseUpload);
  Report(link.name, "upload", image.size(), Seconds(start, bench::Clock::now()),
         e.upload_succeeded());

  start = bench::Clock::now();
  e.StartDatabaseDownload();
  device.WaitWorker(CDeviceEngine::kSlotDatabaseDownload);
  Report(link.name, "database read", image.size(), Seconds(start, bench::Clock::now()),
         e.download_succeeded());

  const std::string folder = std::filesystem::temp_directory_path() / "tessor-link-bench";
  std::filesystem::create_directories(folder);
  e.SetOutputFolder(folder);
  e.SelectTracks({0});
  start = bench::Clock::now();
  e.StartTrackDownload();
  device.WaitWorker(CDeviceEngine::kSlotTrackDownload);
  Report(link.name, "track download", track.records.size(), Seconds(start, bench::Clock::now()),
         e.track_download_summary().lost == 0 &&
             e.transfer.overall_received.load() == track.records.size());
  std::filesystem::remove_all(folder);
}

}  // namespace

int main(int argc, char** argv) {
  const size_t kib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 8;
  const std::vector<uint8_t> image = bench::Image((kib * 1024 - 64) / kPointSize);
  const std::string path = std::filesystem::temp_directory_path() / "tessor-link-bench.bin";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()),
             static_cast<std::streamsize>(image.size()));
  const Link links[] = {{"plain paced line", 0, false},
                        {"latency 100 ms", 100, false},
                        {"chunks 16 B/30 ms", 0, true},
                        {"both", 100, true}};
  for (const Link& link : links) Run(link, image, path, kib * 1024);
  std::remove(path.c_str());
  return 0;
}
