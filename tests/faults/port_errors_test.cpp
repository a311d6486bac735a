// Port errors as the user meets them through tessorctl: the system's text
// with its hint, and the port usable again once the cause is gone.
#include <sys/stat.h>

#include "device_fixture.h"
#include "run_program.h"

namespace tessor {
namespace {

class PortErrors : public test::DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    ::setenv("TESSOR_TIMING_SCALE", "0.5", 1);
    ::setenv("XDG_CONFIG_HOME", (data_home_ + "/config").c_str(), 1);
    ::chmod(data_home_.c_str(), 0755);
  }

  test::ProgramResult Info(const std::string& port, bool unprivileged = false) {
    std::vector<std::string> args;
    if (unprivileged) {
      args = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    args.insert(args.end(), {TESSORCTL_PATH, "info", "--port", port});
    return test::RunProgram(args, data_home_ + "/run");
  }
};

TEST_F(PortErrors, PathThatIsNotATtyGetsTheTextAndTheHint) {
  const std::string path = WriteFile("plain-file", {1, 2, 3});
  const auto r = Info(path);
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("Inappropriate ioctl for device. The path is not a serial port"),
            std::string::npos)
      << r.err;
}

TEST_F(PortErrors, BusyPortNamesTheOtherProgramAndWorksOnceItIsFree) {
  devsim::Scenario s;
  s.name = "Road Logger";
  StartDevice(s);
  ASSERT_NE(engine_.Connect(1), kResultPortOpen);
  ASSERT_TRUE(WaitFor([&] { return engine_.handshake_done(); }));
  const auto busy = Info(slave_path_);
  EXPECT_NE(busy.status, 0);
  EXPECT_NE(busy.err.find("Another program holds the port; close it and try again."),
            std::string::npos)
      << busy.err;
  EXPECT_TRUE(engine_.port.is_open()) << "the holder keeps its port";
  engine_.Disconnect();
  engine_.StopAllThreads();
  const auto free = Info(slave_path_);
  EXPECT_EQ(free.status, 0) << free.out << free.err;
  EXPECT_NE(free.out.find("name\tRoad Logger\n"), std::string::npos) << free.out;
}

TEST_F(PortErrors, PermissionDeniedNamesTheDialoutGroup) {
  if (::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "setpriv is not installed";
  StartDevice(devsim::Scenario{});
  ::chmod(slave_path_.c_str(), 0600);  // only its owner may open it
  const auto denied = Info(slave_path_, true);
  if (denied.status == 127) GTEST_SKIP() << "setpriv cannot change user here: " << denied.err;
  EXPECT_NE(denied.status, 0);
  EXPECT_NE(denied.err.find("Permission denied. Add your user to the 'dialout' group"),
            std::string::npos)
      << denied.err;
  // The same port opens for its owner right after.
  const auto owner = Info(slave_path_);
  EXPECT_EQ(owner.status, 0) << owner.out << owner.err;
}

}  // namespace
}  // namespace tessor
