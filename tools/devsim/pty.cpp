#include "tools/devsim/pty.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace tessor::devsim {

std::optional<PtyEnds> OpenSimulatorPty() {
  termios line{};
  cfmakeraw(&line);
  line.c_cflag |= CLOCAL | CREAD;
  cfsetispeed(&line, B57600);
  cfsetospeed(&line, B57600);
  int master = -1, slave = -1;
  char name[256] = {};
  if (openpty(&master, &slave, name, &line, nullptr) != 0) return std::nullopt;
  close(slave);
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  fcntl(master, F_SETFD, FD_CLOEXEC);
  return PtyEnds{master, name};
}

}  // namespace tessor::devsim
