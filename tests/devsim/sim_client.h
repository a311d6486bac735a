#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessor::devsim::test {

// One sentence from the device as a host sees it.
struct Received {
  std::string text;  // "$" to the character before "*"; a block's binary part excluded
  bool checksum_ok = false;
  uint8_t checksum = 0;        // the value carried after "*"
  bool block = false;          // a "$LOG102" data block
  bool short_refusal = false;  // "$LOG102,0*"
  uint16_t index = 0;
  std::vector<uint8_t> payload;
};

// The host's end of the line: frames its own commands (its own checksum code,
// not the engine's) and reads the device's sentences, data blocks included.
class SimClient {
 public:
  explicit SimClient(const std::string& slave_path);
  ~SimClient();
  bool is_open() const { return fd_ >= 0; }
  void Close();

  void Send(std::string_view text);  // adds "*", checksum, CR LF
  void SendRaw(std::string_view bytes);

  // The next sentence within the time-out.
  std::optional<Received> Next(std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));
  // Every sentence until the line has been quiet for `quiet`, for at most `limit`.
  std::vector<Received> Drain(std::chrono::milliseconds quiet = std::chrono::milliseconds(300),
                              std::chrono::milliseconds limit = std::chrono::milliseconds(8000));
  // Send, then the next sentence.
  std::optional<Received> Ask(std::string_view text);

  // Bytes seen outside any sentence (line noise, binary-protocol pairs).
  const std::string& noise() const { return noise_; }
  uint64_t bytes_read() const { return bytes_read_; }
  // True once reading has failed or hit end of file (the device side closed).
  bool line_lost() const { return lost_; }

 private:
  bool Fill(std::chrono::steady_clock::time_point deadline);
  bool Need(size_t n, std::chrono::steady_clock::time_point deadline);
  std::optional<Received> Parse(std::chrono::steady_clock::time_point deadline);

  int fd_ = -1;
  std::string buffer_;
  std::string noise_;
  uint64_t bytes_read_ = 0;
  bool lost_ = false;
};

uint8_t XorOf(std::string_view bytes);

}  // namespace tessor::devsim::test
