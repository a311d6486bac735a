#include "app/port_scan.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tessor {

namespace fs = std::filesystem;

namespace {

struct Family {
  const char* prefix;
  const char* description;
};

constexpr Family kFamilies[] = {
    {"ttyUSB", "USB-serial adapter"},
    {"ttyACM", "USB modem (ACM)"},
    {"rfcomm", "Bluetooth serial port"},
};

// The by-id link that resolves to a device, if any.
std::string ByIdLink(const PortRoots& roots, const fs::path& device) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(roots.by_id, ec)) {
    std::error_code ignored;
    if (fs::equivalent(entry.path(), device, ignored)) return entry.path().string();
  }
  return {};
}

void AddDevices(const PortRoots& roots, std::vector<FoundPort>* out) {
  std::error_code ec;
  std::vector<FoundPort> found;
  for (const auto& entry : fs::directory_iterator(roots.dev, ec)) {
    const std::string name = entry.path().filename().string();
    for (const Family& family : kFamilies) {
      if (name.rfind(family.prefix, 0) != 0) continue;
      FoundPort port;
      port.path = entry.path().string();
      const std::string by_id = ByIdLink(roots, entry.path());
      port.key = by_id.empty() ? port.path : by_id;
      port.description = family.description;
      if (!by_id.empty()) port.description += " (" + fs::path(by_id).filename().string() + ")";
      found.push_back(port);
    }
  }
  std::sort(found.begin(), found.end(),
            [](const FoundPort& a, const FoundPort& b) { return a.path < b.path; });
  out->insert(out->end(), found.begin(), found.end());
}

void AddUserLinks(const PortRoots& roots, std::vector<FoundPort>* out) {
  if (roots.user_ports.empty()) return;
  std::error_code ec;
  std::vector<FoundPort> found;
  for (const auto& entry : fs::directory_iterator(roots.user_ports, ec)) {
    std::error_code status_error;
    // A link whose simulator has ended points nowhere: not a port.
    if (!fs::exists(entry.path(), status_error)) continue;
    FoundPort port;
    port.path = entry.path().string();
    port.key = port.path;
    const fs::path target = fs::read_symlink(entry.path(), status_error);
    port.description = "simulated device";
    if (!status_error) port.description += " (" + target.string() + ")";
    port.transient = true;
    found.push_back(port);
  }
  std::sort(found.begin(), found.end(),
            [](const FoundPort& a, const FoundPort& b) { return a.path < b.path; });
  out->insert(out->end(), found.begin(), found.end());
}

}  // namespace

std::string DefaultPortsFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime != '\0') return (fs::path(runtime) / "tessor/ports").string();
  const char* home = std::getenv("HOME");
  return (fs::path(home != nullptr ? home : ".") / ".local/state/tessor/ports").string();
}

PortRoots DefaultPortRoots() {
  PortRoots roots;
  roots.user_ports = DefaultPortsFolder();
  return roots;
}

std::vector<FoundPort> FindPorts(const PortRoots& roots) {
  std::vector<FoundPort> ports;
  AddDevices(roots, &ports);
  AddUserLinks(roots, &ports);
  return ports;
}

}  // namespace tessor
