#include "engine/port_facts.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "engine/serial_port.h"

namespace tessor {

namespace fs = std::filesystem;

namespace {

// The interface and the port sit a few levels below the USB device; a walk
// that goes further has left the device.
constexpr int kMaxLevelsUp = 6;

// The first line of a sysfs attribute, with anything that is no printable
// ASCII replaced, so that a serial number cannot break a tab-separated line.
std::string ReadAttribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return {};
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
  for (char& c : line) {
    if (c < 0x20 || c > 0x7e) c = '?';
  }
  return line;
}

std::string DriverName(const fs::path& device) {
  std::error_code ec;
  const fs::path driver = fs::read_symlink(device / "driver", ec);
  return ec ? std::string() : driver.filename().string();
}

// The USB device is the nearest folder at or above the port's device that
// carries idVendor; none below the sysfs root: not a USB port.
void ReadUsbIds(fs::path device, const fs::path& root, PortFacts* facts) {
  for (int level = 0; level <= kMaxLevelsUp && device != root && device.has_relative_path();
       ++level, device = device.parent_path()) {
    std::error_code ec;
    if (!fs::exists(device / "idVendor", ec)) continue;
    facts->vendor_id = ReadAttribute(device / "idVendor");
    facts->product_id = ReadAttribute(device / "idProduct");
    facts->serial = ReadAttribute(device / "serial");
    return;
  }
}

}  // namespace

PortFacts ReadPortFacts(const std::string& device_path, const std::string& sysfs_root) {
  PortFacts facts;
  std::error_code ec;
  const std::string name = fs::weakly_canonical(device_path, ec).filename().string();
  if (ec || name.empty()) return facts;
  const fs::path root = fs::canonical(sysfs_root, ec);
  if (ec) return facts;
  const fs::path device = fs::canonical(root / "class/tty" / name / "device", ec);
  if (ec) return facts;
  facts.driver = DriverName(device);
  ReadUsbIds(device, root, &facts);
  return facts;
}

PortAccess CheckPortAccess(const std::string& device_path) {
  if (::faccessat(AT_FDCWD, device_path.c_str(), R_OK | W_OK, AT_EACCESS) == 0) return {true, {}};
  return {false, PortErrorText(errno)};
}

}  // namespace tessor
