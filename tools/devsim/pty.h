#pragma once

#include <optional>
#include <string>

namespace tessor::devsim {

struct PtyEnds {
  int master = -1;  // non-blocking, close-on-exec
  std::string slave_path;
};

// A pty whose line is raw at 57600 baud, so that nothing is echoed or
// translated before a host sets it up. The slave is closed again: the host
// opens it by its path.
std::optional<PtyEnds> OpenSimulatorPty();

}  // namespace tessor::devsim
