#include "sim_client.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace tessor::devsim::test {

namespace {

using Clock = std::chrono::steady_clock;

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

uint8_t XorOf(std::string_view bytes) {
  uint8_t sum = 0;
  for (char c : bytes) sum ^= static_cast<uint8_t>(c);
  return sum;
}

SimClient::SimClient(const std::string& slave_path) {
  fd_ = open(slave_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd_ < 0) return;
  termios t{};
  tcgetattr(fd_, &t);
  cfmakeraw(&t);
  tcsetattr(fd_, TCSANOW, &t);
}

SimClient::~SimClient() {
  Close();
}

void SimClient::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

void SimClient::SendRaw(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd_, bytes.data(), bytes.size());
    if (n <= 0) {
      pollfd p{fd_, POLLOUT, 0};
      if (poll(&p, 1, 1000) <= 0) return;
      continue;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

void SimClient::Send(std::string_view text) {
  char sum[8];
  std::snprintf(sum, sizeof sum, "*%02X\r\n", XorOf(text.substr(1)));
  SendRaw(std::string(text) + sum);
}

bool SimClient::Fill(Clock::time_point deadline) {
  if (fd_ < 0 || lost_) return false;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, static_cast<int>(std::max<int64_t>(0, left.count()))) <= 0) return false;
  char chunk[4096];
  const ssize_t n = read(fd_, chunk, sizeof chunk);
  if (n <= 0) {
    lost_ = true;
    return false;
  }
  buffer_.append(chunk, static_cast<size_t>(n));
  bytes_read_ += static_cast<uint64_t>(n);
  return true;
}

bool SimClient::Need(size_t n, Clock::time_point deadline) {
  while (buffer_.size() < n) {
    if (!Fill(deadline) && Clock::now() >= deadline) return false;
    if (lost_) return false;
  }
  return true;
}

std::optional<Received> SimClient::Next(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (true) {
    const size_t dollar = buffer_.find('$');
    noise_ += buffer_.substr(0, dollar);
    buffer_.erase(0, dollar == std::string::npos ? buffer_.size() : dollar);
    if (!buffer_.empty()) return Parse(deadline);
    if (!Fill(deadline) && (Clock::now() >= deadline || lost_)) return std::nullopt;
  }
}

// buffer_ starts with "$". Text sentences end at "*"; a data block is counted.
std::optional<Received> SimClient::Parse(Clock::time_point deadline) {
  Received r;
  size_t star;
  if (!Need(8, deadline)) return std::nullopt;
  if (buffer_.compare(0, 8, "$LOG102,") == 0) {
    if (!Need(10, deadline)) return std::nullopt;
    r.block = true;
    r.text = "$LOG102,";
    r.short_refusal = buffer_[8] == '0' && buffer_[9] == '*';
    if (r.short_refusal) {
      r.text = "$LOG102,0";
      star = 9;
    } else {
      if (!Need(11, deadline)) return std::nullopt;
      r.index = static_cast<uint16_t>(static_cast<uint8_t>(buffer_[8]) |
                                      (static_cast<uint8_t>(buffer_[9]) << 8));
      const size_t length = static_cast<uint8_t>(buffer_[10]);
      star = 11 + length;
      if (!Need(star + 1, deadline)) return std::nullopt;
      r.payload.assign(buffer_.begin() + 11, buffer_.begin() + static_cast<long>(star));
    }
  } else {
    while ((star = buffer_.find('*')) == std::string::npos) {
      if (!Need(buffer_.size() + 1, deadline)) return std::nullopt;
    }
    r.text = buffer_.substr(0, star);
  }
  if (!Need(star + 5, deadline)) return std::nullopt;
  const int hi = Hex(buffer_[star + 1]), lo = Hex(buffer_[star + 2]);
  r.checksum = static_cast<uint8_t>(std::max(hi, 0) * 16 + std::max(lo, 0));
  r.checksum_ok = hi >= 0 && lo >= 0 &&
                  XorOf(std::string_view(buffer_).substr(1, star - 1)) == hi * 16 + lo &&
                  buffer_.compare(star + 3, 2, "\r\n") == 0;
  buffer_.erase(0, star + 5);
  return r;
}

std::vector<Received> SimClient::Drain(std::chrono::milliseconds quiet,
                                       std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  std::vector<Received> out;
  while (Clock::now() < end) {
    auto r = Next(quiet);
    if (!r) break;
    out.push_back(std::move(*r));
  }
  return out;
}

std::optional<Received> SimClient::Ask(std::string_view text) {
  Send(text);
  return Next();
}

}  // namespace tessor::devsim::test
