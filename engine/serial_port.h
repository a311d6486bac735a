#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessor {

// The narrow transport seam: one tty opened raw at 57600 8N1, exclusively.
// Every call reports failure by its return value and keeps errno in last_error().
class SerialPort {
 public:
  enum class WaitResult { kReadable, kTimeout, kLost };

  SerialPort() = default;
  ~SerialPort() { Close(); }
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Returns 0, 3 (cannot open, or held by another program) or 15 (settings refused).
  int Open(const std::string& path);
  void Close();
  bool is_open() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  // Bytes queued in the driver; -1 on failure.
  long QueuedBytes();
  // Reads up to `count` bytes; returns the number read, -1 on failure.
  long Read(uint8_t* data, size_t count);
  // Writes the whole text; true only when every byte was taken within the time.
  bool Write(const char* data, size_t count, int timeout_ms);
  // Waits up to `timeout_ms` for input, or until wake_fd (when given) becomes
  // readable; a hang-up or error on the port is kLost.
  WaitResult WaitReadable(int timeout_ms, int wake_fd = -1);

  int last_error() const { return last_error_; }
  void set_last_error(int error) { last_error_ = error; }

 private:
  int Fail(int code);

  int fd_ = -1;
  int last_error_ = 0;
};

// errno values that mean the adapter is gone rather than a passing failure.
bool IsPortLossError(int error);

// The text shown for a port error: the system's text and, where it helps, a hint.
std::string PortErrorText(int error);

}  // namespace tessor
