// The port facts come from sysfs trees laid out as the kernel lays them out:
// /sys/class/tty/NAME is a link into /sys/devices, its "device" link leads to
// the port's device, and the USB ids sit on an ancestor of that.
#include "engine/port_facts.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

namespace tessor {
namespace {

namespace fs = std::filesystem;

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class PortFactsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tessor-sysfs-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    sys_ = folder_ + "/sys";
    dev_ = folder_ + "/dev";
    fs::create_directories(sys_ + "/class/tty");
    fs::create_directories(dev_);
  }

  // A USB device at devices/usb1/USB_DEVICE with the given attributes
  // ("" leaves one out); its interface carries the port's device.
  void AddUsbTty(const std::string& tty, const std::string& usb_device, const std::string& vendor,
                 const std::string& product, const std::string& serial, const std::string& driver,
                 bool port_device_below_interface) {
    const std::string usb = sys_ + "/devices/usb1/" + usb_device;
    std::string port_device = usb + "/" + usb_device + ":1.0";
    if (port_device_below_interface) port_device += "/" + tty;  // usb-serial: ttyUSB0 itself
    fs::create_directories(port_device + "/tty/" + tty);
    if (!vendor.empty()) WriteFile(usb + "/idVendor", vendor + "\n");
    if (!product.empty()) WriteFile(usb + "/idProduct", product + "\n");
    if (!serial.empty()) WriteFile(usb + "/serial", serial + "\n");
    AddDriver(port_device, driver);
    fs::create_symlink(fs::relative(port_device, port_device + "/tty/" + tty),
                       port_device + "/tty/" + tty + "/device");
    fs::create_directory_symlink(fs::relative(port_device + "/tty/" + tty, sys_ + "/class/tty"),
                                 sys_ + "/class/tty/" + tty);
  }

  void AddDriver(const std::string& device, const std::string& driver) {
    const std::string folder = sys_ + "/bus/any/drivers/" + driver;
    fs::create_directories(folder);
    fs::create_directory_symlink(fs::relative(folder, device), device + "/driver");
  }

  void TearDown() override {
    std::error_code ignored;
    if (!folder_.empty()) fs::remove_all(folder_, ignored);
  }

  std::string folder_, sys_, dev_;
};

TEST_F(PortFactsTest, UsbSerialAdapterReachedThroughItsByIdLink) {
  AddUsbTty("ttyUSB0", "1-1", "0403", "6001", "A10K3XQZ", "ftdi_sio", true);
  // The by-id link resolves to the device node; the facts are the node's.
  WriteFile(dev_ + "/ttyUSB0", "");
  fs::create_directories(dev_ + "/serial/by-id");
  fs::create_symlink("../../ttyUSB0", dev_ + "/serial/by-id/usb-FTDI_FT232R-if00-port0");
  for (const std::string& path :
       {dev_ + "/ttyUSB0", dev_ + "/serial/by-id/usb-FTDI_FT232R-if00-port0"}) {
    const PortFacts facts = ReadPortFacts(path, sys_);
    EXPECT_TRUE(facts.usb()) << path;
    EXPECT_EQ(facts.vendor_id, "0403") << path;
    EXPECT_EQ(facts.product_id, "6001") << path;
    EXPECT_EQ(facts.serial, "A10K3XQZ") << path;
    EXPECT_EQ(facts.driver, "ftdi_sio") << path;
  }
}

TEST_F(PortFactsTest, AdapterWithoutSerialNumberKeepsItsIds) {
  // An ACM modem: the tty's device is the USB interface itself.
  AddUsbTty("ttyACM0", "1-2", "2341", "0043", "", "cdc_acm", false);
  const PortFacts facts = ReadPortFacts(dev_ + "/ttyACM0", sys_);
  EXPECT_EQ(facts.vendor_id, "2341");
  EXPECT_EQ(facts.product_id, "0043");
  EXPECT_EQ(facts.serial, "");
  EXPECT_EQ(facts.driver, "cdc_acm");
}

TEST_F(PortFactsTest, SerialNumberCannotBreakATabSeparatedLine) {
  AddUsbTty("ttyUSB1", "1-3", "10c4", "ea60", "ab\tc\x01\xc3\xa9", "cp210x", true);
  EXPECT_EQ(ReadPortFacts(dev_ + "/ttyUSB1", sys_).serial, "ab?c???");
}

TEST_F(PortFactsTest, PortOnTheBoardHasADriverButNoUsbIds) {
  // An idVendor above the sysfs root must not be taken for the port's.
  WriteFile(folder_ + "/idVendor", "dead\n");
  const std::string device = sys_ + "/devices/platform/serial8250";
  fs::create_directories(device + "/tty/ttyS0");
  AddDriver(device, "serial8250");
  fs::create_symlink("../..", device + "/tty/ttyS0/device");
  fs::create_directory_symlink("../../devices/platform/serial8250/tty/ttyS0",
                               sys_ + "/class/tty/ttyS0");
  const PortFacts facts = ReadPortFacts("/dev/ttyS0", sys_);
  EXPECT_FALSE(facts.usb());
  EXPECT_EQ(facts.vendor_id, "");
  EXPECT_EQ(facts.driver, "serial8250");
}

TEST_F(PortFactsTest, MissingTreeOrTtyGivesNoFacts) {
  // A tty without a device link (a pty, rfcomm), a tty sysfs does not know,
  // and no sysfs at all.
  fs::create_directories(sys_ + "/devices/virtual/tty/rfcomm0");
  fs::create_directory_symlink("../../devices/virtual/tty/rfcomm0", sys_ + "/class/tty/rfcomm0");
  for (const auto& [path, root] :
       {std::pair{dev_ + "/rfcomm0", sys_}, std::pair{dev_ + "/ttyUSB7", sys_},
        std::pair{dev_ + "/ttyUSB0", folder_ + "/no-sys"}}) {
    const PortFacts facts = ReadPortFacts(path, root);
    EXPECT_FALSE(facts.usb()) << path;
    EXPECT_EQ(facts.driver, "") << path;
    EXPECT_EQ(facts.serial, "") << path;
  }
}

// The access check as a user without rights to the port: this process with
// the port's mode cleared, or as root (who may open anything) a child that
// has become nobody. Empty when the child cannot drop root.
std::optional<PortAccess> AccessAsOutsider(const std::string& port) {
  if (::geteuid() != 0) {
    if (::chmod(port.c_str(), 0) != 0) return std::nullopt;
    return CheckPortAccess(port);
  }
  int pipe_ends[2];
  if (::pipe(pipe_ends) != 0) return std::nullopt;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe_ends[0]);
    if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
        ::setresuid(65534, 65534, 65534) != 0) {
      ::_exit(2);
    }
    const PortAccess access = CheckPortAccess(port);
    const std::string answer = (access.may_open ? "1" : "0") + access.hint;
    const bool sent =
        ::write(pipe_ends[1], answer.data(), answer.size()) == static_cast<ssize_t>(answer.size());
    ::_exit(sent ? 0 : 3);
  }
  ::close(pipe_ends[1]);
  std::string answer;
  char buffer[512];
  for (ssize_t n; (n = ::read(pipe_ends[0], buffer, sizeof buffer)) > 0;) answer.append(buffer, n);
  ::close(pipe_ends[0]);
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0 || answer.empty()) {
    return std::nullopt;
  }
  return PortAccess{answer[0] == '1', answer.substr(1)};
}

TEST_F(PortFactsTest, AccessNamesTheGroupToJoinWhenDenied) {
  const std::string port = dev_ + "/ttyUSB0";
  WriteFile(port, "");
  EXPECT_TRUE(CheckPortAccess(port).may_open);
  const PortAccess missing = CheckPortAccess(dev_ + "/ttyUSB9");
  EXPECT_FALSE(missing.may_open);
  EXPECT_FALSE(missing.hint.empty());
  const std::optional<PortAccess> denied = AccessAsOutsider(port);
  if (!denied) GTEST_SKIP() << "no user without rights to the port could be made here";
  EXPECT_FALSE(denied->may_open);
  EXPECT_NE(denied->hint.find("'dialout' group"), std::string::npos) << denied->hint;
}

}  // namespace
}  // namespace tessor
