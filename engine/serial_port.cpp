#include "engine/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "engine/result_codes.h"

namespace tessor {

ResultCode SerialPort::Fail(ResultCode code) {
  last_error_ = errno;
  Close();
  return code;
}

ResultCode SerialPort::Open(const std::string& path) {
  Close();
  fd_ = OpenTty(path);
  if (fd_ < 0) {
    last_error_ = errno;
    return kResultPortOpen;
  }
  if (!TakeExclusive(fd_)) return Fail(kResultPortOpen);
  if (!ApplyLineSettings(fd_)) return Fail(kResultPortSettings);
  ::tcflush(fd_, TCIOFLUSH);
  // The descriptor stays non-blocking: reads take only what is queued, and a
  // write waits for room with a time-out instead of blocking for ever.
  return kResultOk;
}

void SerialPort::Close() {
  if (fd_ < 0) return;
  ReleaseExclusive(fd_);
  ::close(fd_);
  fd_ = -1;
}

int OpenTty(const std::string& path) {
  return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
}

bool TakeExclusive(int fd) {
  // flock refuses a second opener even when it runs as root; TIOCEXCL does not.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) errno = EBUSY;
    return false;
  }
  // Not every line is a tty; the settings say so when it is not.
  ::ioctl(fd, TIOCEXCL);
  return true;
}

void ReleaseExclusive(int fd) {
  ::ioctl(fd, TIOCNXCL);
  ::flock(fd, LOCK_UN);
}

bool ApplyLineSettings(int fd) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return false;
  ::cfmakeraw(&tio);
  tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  return ::cfsetispeed(&tio, B57600) == 0 && ::cfsetospeed(&tio, B57600) == 0 &&
         ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

bool ReadBackLineSettings(int fd, std::string* difference) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return false;
  difference->clear();
  const auto differs = [difference](const char* what) {
    *difference += difference->empty() ? what : std::string(", ") + what;
  };
  if (::cfgetispeed(&tio) != B57600 || ::cfgetospeed(&tio) != B57600) differs("speed not 57600");
  if ((tio.c_cflag & CSIZE) != CS8) differs("not 8 data bits");
  if (tio.c_cflag & PARENB) differs("parity on");
  if (tio.c_cflag & CSTOPB) differs("two stop bits");
  if (tio.c_cflag & CRTSCTS) differs("hardware flow control on");
  if ((tio.c_cflag & (CLOCAL | CREAD)) != (CLOCAL | CREAD))
    differs("receiver off or modem lines on");
  if (tio.c_iflag & (IXON | IXOFF)) differs("software flow control on");
  if ((tio.c_lflag & (ICANON | ECHO | ISIG)) || (tio.c_iflag & (ICRNL | ISTRIP)))
    differs("not raw");
  return true;
}

long SerialPort::QueuedBytes() {
  if (fd_ < 0) {
    last_error_ = EBADF;
    return -1;
  }
  int queued = 0;
  if (::ioctl(fd_, FIONREAD, &queued) != 0) {
    last_error_ = errno;
    return -1;
  }
  return queued;
}

long SerialPort::Read(uint8_t* data, size_t count) {
  if (count == 0) return 0;
  for (;;) {
    const ssize_t n = ::read(fd_, data, count);
    if (n > 0) return n;
    if (n == 0) {
      // Queued bytes announced but end of file: the other side is gone.
      last_error_ = EIO;
      return -1;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN) return 0;
    last_error_ = errno;
    return -1;
  }
}

bool SerialPort::Write(const char* data, size_t count, int timeout_ms) {
  if (fd_ < 0) {
    last_error_ = EBADF;
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(fd_, data + done, count - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) {
      last_error_ = errno;
      return false;
    }
    // The driver's queue is full: wait for room, but never past the deadline.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      last_error_ = ETIMEDOUT;
      return false;
    }
    pollfd p{fd_, POLLOUT, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) {
      last_error_ = errno;
      return false;
    }
    if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
      last_error_ = EIO;
      return false;
    }
  }
  return true;
}

SerialPort::WaitResult SerialPort::WaitReadable(int timeout_ms, int wake_fd) {
  if (fd_ < 0) return WaitResult::kLost;
  pollfd fds[2] = {{fd_, POLLIN, 0}, {wake_fd, POLLIN, 0}};
  const nfds_t count = wake_fd >= 0 ? 2 : 1;
  int r;
  do {
    r = ::poll(fds, count, timeout_ms);
  } while (r < 0 && errno == EINTR);
  const pollfd& p = fds[0];
  if (r < 0) {
    last_error_ = errno;
    return WaitResult::kLost;
  }
  if (r == 0) return WaitResult::kTimeout;
  if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
    last_error_ = EIO;
    return WaitResult::kLost;
  }
  return WaitResult::kReadable;
}

bool IsPortLossError(int error) {
  return error == EIO || error == ENXIO || error == ENODEV || error == EBADF;
}

std::string PortErrorText(int error) {
  std::string text = std::strerror(error);
  if (error == EACCES || error == EPERM) {
    text += ". Add your user to the 'dialout' group (then log in again) to use serial ports.";
  } else if (error == EBUSY) {
    text += ". Another program holds the port; close it and try again.";
  } else if (error == ENOTTY) {
    text += ". The path is not a serial port; choose the adapter's device.";
  }
  return text;
}

}  // namespace tessor
