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

// The steps of opening a port, which a diagnosis also takes one by one to
// report each. Each fails with errno set.
// The descriptor, non-blocking so that the open never waits for carrier; -1 on failure.
int OpenTty(const std::string& path);
// Takes the port for this process alone: a non-blocking flock, which stops
// even root, then TIOCEXCL. False with errno EBUSY when another opener holds it.
bool TakeExclusive(int fd);
// Gives the port back; on a pty TIOCEXCL outlives the close and would lock
// out the next opener.
void ReleaseExclusive(int fd);
// Raw at 57600 baud, 8N1, CLOCAL | CREAD.
bool ApplyLineSettings(int fd);
// Reads the settings back: false when they cannot be read, else *difference
// names what the driver did not keep (empty when it kept them all).
bool ReadBackLineSettings(int fd, std::string* difference);

// errno values that mean the adapter is gone rather than a passing failure.
bool IsPortLossError(int error);

// The text shown for a port error: the system's text and, where it helps, a hint.
std::string PortErrorText(int error);

}  // namespace tessor
