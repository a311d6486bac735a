#pragma once

#include <string>
#include <vector>

namespace tessor {

// Where serial ports are looked for; tests point these at their own folders.
struct PortRoots {
  std::string dev = "/dev";
  std::string by_id = "/dev/serial/by-id";
  std::string user_ports;  // the per-user ports folder, where simulators put their links
};

// The per-user ports folder: $XDG_RUNTIME_DIR/tessor/ports, else
// ~/.local/state/tessor/ports (the folder tessor-devsim links into).
std::string DefaultPortsFolder();
PortRoots DefaultPortRoots();

// One port found on the machine. The key is what its number is kept under: its
// by-id link where one exists (an adapter keeps it in whichever socket), else its path.
struct FoundPort {
  std::string key;
  std::string path;
  std::string description;
  bool transient = false;  // a link in the ports folder, gone when its simulator ends
};

// USB-serial, ACM and rfcomm devices, then the live links of the ports folder.
std::vector<FoundPort> FindPorts(const PortRoots& roots);

}  // namespace tessor
