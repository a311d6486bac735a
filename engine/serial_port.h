#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/transport.h"

namespace tessor {

// The termios transport: one tty opened raw at 57600 8N1, exclusively.
class SerialPort : public Transport {
 public:
  SerialPort() = default;
  ~SerialPort() override { Close(); }

  ResultCode Open(const std::string& path) override;
  void Close() override;
  bool is_open() const override { return fd_ >= 0; }
  int fd() const { return fd_; }

  long QueuedBytes() override;
  long Read(uint8_t* data, size_t count) override;
  bool Write(const char* data, size_t count, int timeout_ms) override;
  WaitResult WaitReadable(int timeout_ms, int wake_fd = -1) override;

  int last_error() const override { return last_error_; }
  void set_last_error(int error) { last_error_ = error; }

 private:
  ResultCode Fail(ResultCode code);

  int fd_ = -1;
  int last_error_ = 0;
};

// errno values that mean the adapter is gone rather than a passing failure.
bool IsPortLossError(int error);

// The text shown for a port error: the system's text and, where it helps, a hint.
std::string PortErrorText(int error);

}  // namespace tessor
