// Uploads a 256 KiB image to the paced simulator and compares the block phase
// with the wire limit: the exact bytes of every "$PKVN999" sentence and its
// acknowledgement at 5760 bytes per second. Run once with the event-driven
// link and once with the blind 100 ms poll.
#include <cstdio>
#include <cstring>
#include <fstream>

#include "bench_support.h"
#include "engine/framing.h"

using namespace tessor;

namespace {

// The bytes of one block's sentence and of its acknowledgement.
size_t WireBytes(const std::vector<uint8_t>& image, size_t at, size_t n) {
  CDeviceEngine builder;
  builder.args.block_address = static_cast<uint32_t>(at);
  builder.args.block_count = static_cast<uint32_t>(n);
  std::memcpy(builder.args.block_data, image.data() + at, n);
  char sentence[kCommandBufferSize] = {};
  builder.BuildCommand(999, sentence);
  uint8_t x = 0;
  for (size_t i = 0; i < n; ++i) x ^= image[at + i];
  char ack[64];
  std::snprintf(ack, sizeof ack, "$LOG999,%zu,1,%02X", at, x);
  return FramedSentence(sentence).size() + FramedSentence(ack).size();
}

void Run(bool blind, const std::vector<uint8_t>& image, const std::string& path) {
  devsim::Scenario s;
  s.erase_reports_ms = 500;
  bench::PacedDevice device(s);
  device.engine.set_blind_poll(blind);
  if (!device.ConnectAndSettle()) {
    std::printf("connect failed\n");
    return;
  }
  device.engine.SetImagePath(path);
  device.engine.StartDatabaseUpload();
  device.WaitWorker(CDeviceEngine::kSlotDatabaseUpload);
  bench::Clock::time_point start, end;
  if (!device.engine.upload_succeeded() || !device.observer.When("Upload DataBase.", &start) ||
      !device.observer.When("Upload Time:", &end)) {
    std::printf("upload failed\n");
    return;
  }
  size_t wire = 0;
  for (size_t at = 0; at < image.size(); at += 128) {
    wire += WireBytes(image, at, std::min<size_t>(128, image.size() - at));
  }
  const double seconds = std::chrono::duration<double>(end - start).count();
  const double limit = wire / 5760.0;
  std::printf("%-13s image %zu B  blocks %.2f s  wire limit %.2f s  rate %.0f B/s  ratio %.3f\n",
              blind ? "blind poll" : "event-driven", image.size(), seconds, limit,
              image.size() / seconds, limit / seconds);
}

}  // namespace

int main() {
  const std::vector<uint8_t> image = bench::Image((256 * 1024 - 64) / kPointSize);
  const std::string path = "/tmp/tessor-upload-bench.bin";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()),
             static_cast<std::streamsize>(image.size()));
  Run(false, image, path);
  Run(true, image, path);
  std::remove(path.c_str());
  return 0;
}
