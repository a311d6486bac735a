#pragma once

#include <string>

namespace tessor {

// What the kernel tells about a serial port through sysfs. Every field is
// empty where sysfs has no such fact (a port on the main board has no USB
// ids, many cheap adapters no serial number).
struct PortFacts {
  std::string vendor_id;   // USB idVendor, four hex digits
  std::string product_id;  // USB idProduct
  std::string serial;      // USB serial number
  std::string driver;      // the kernel driver bound to the port's device
  bool usb() const { return !vendor_id.empty(); }
};

// Reads the facts of the tty that device_path leads to (links such as
// /dev/serial/by-id are followed) from the tree under sysfs_root ("/sys" on a
// running system; tests give a tree of their own). Nothing found: all empty.
PortFacts ReadPortFacts(const std::string& device_path, const std::string& sysfs_root = "/sys");

// Whether this user may open the port for reading and writing and, when not,
// what to do about it.
struct PortAccess {
  bool may_open = false;
  std::string hint;
};
PortAccess CheckPortAccess(const std::string& device_path);

}  // namespace tessor
