// tessorctl doctor against a simulated device over its pty, and against the
// ports users get wrong: missing, not theirs, held by another program, not a
// serial port, a device that stays silent.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "engine/serial_port.h"
#include "tessorctl_fixture.h"

namespace tessor {
namespace {

struct CheckLine {
  std::string name, verdict, hint;
};

// The check lines: the last lines of standard output, after the connect's
// status lines.
std::vector<CheckLine> Checks(const std::string& out) {
  std::vector<CheckLine> checks;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    const size_t first = line.find('\t');
    const size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
    if (second == std::string::npos) {
      checks.clear();  // a status line: the checks come after every one
      continue;
    }
    checks.push_back({line.substr(0, first), line.substr(first + 1, second - first - 1),
                      line.substr(second + 1)});
  }
  return checks;
}

class TessorctlDoctor : public test::TessorctlFixture {
 protected:
  test::ProgramResult Doctor(const std::string& port) { return RunOn(port, {"doctor"}); }

  // Four checks in their order, each with a hint.
  static ::testing::AssertionResult FourChecks(const std::vector<CheckLine>& checks,
                                               const std::string& out) {
    const std::vector<std::string> names = {"open", "exclusive", "line-settings", "identification"};
    if (checks.size() != names.size()) return ::testing::AssertionFailure() << out;
    for (size_t i = 0; i < names.size(); ++i) {
      if (checks[i].name != names[i] || checks[i].hint.empty() ||
          (checks[i].verdict != "ok" && checks[i].verdict != "fail")) {
        return ::testing::AssertionFailure() << "check " << i << ":\n" << out;
      }
    }
    return ::testing::AssertionSuccess();
  }

  static void ExpectSkipped(const CheckLine& check) {
    EXPECT_EQ(check.verdict, "fail") << check.name;
    EXPECT_EQ(check.hint.rfind("skipped: ", 0), 0u) << check.name << ": " << check.hint;
  }
};

TEST_F(TessorctlDoctor, EveryCheckPassesOnTheSimulator) {
  devsim::Scenario s;
  s.name = "Doctor Test";
  StartDevice(s);
  const auto r = Doctor(slave_path_);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  const auto checks = Checks(r.out);
  ASSERT_TRUE(FourChecks(checks, r.out));
  for (const CheckLine& c : checks) EXPECT_EQ(c.verdict, "ok") << c.name << ": " << c.hint;
  EXPECT_NE(checks[3].hint.find("Doctor Test, firmware 209"), std::string::npos) << checks[3].hint;
  // The port is given back: a job runs on it right after.
  const auto battery = RunOn(slave_path_, {"battery"}, "battery");
  EXPECT_EQ(battery.status, 0) << battery.err;
}

TEST_F(TessorctlDoctor, MissingPortPointsAtTheCableAndPath) {
  const auto r = Doctor(data_home_ + "/ttyUSB9");
  EXPECT_EQ(r.status, kResultPortOpen) << r.out << r.err;
  const auto checks = Checks(r.out);
  ASSERT_TRUE(FourChecks(checks, r.out));
  EXPECT_EQ(checks[0].verdict, "fail");
  EXPECT_NE(checks[0].hint.find("plugged in"), std::string::npos) << checks[0].hint;
  EXPECT_NE(checks[0].hint.find("tessorctl ports"), std::string::npos) << checks[0].hint;
  for (size_t i = 1; i < checks.size(); ++i) ExpectSkipped(checks[i]);

  const auto word = Doctor("nonsense");
  EXPECT_EQ(word.status, 64) << word.out << word.err;
  ASSERT_TRUE(FourChecks(Checks(word.out), word.out));
  EXPECT_EQ(Checks(word.out)[0].verdict, "fail");
}

TEST_F(TessorctlDoctor, PortWithoutPermissionNamesTheDialoutGroup) {
  StartDevice(devsim::Scenario{});
  test::ProgramResult r;
  if (::geteuid() != 0) {
    ASSERT_EQ(::chmod(slave_path_.c_str(), 0), 0);
    r = Doctor(slave_path_);
  } else {
    // Root opens anything; the check runs as nobody instead, where setpriv
    // can drop to that user (the pty belongs to root, mode 0620).
    const char* setpriv = "/usr/bin/setpriv";
    if (::access(setpriv, X_OK) != 0) GTEST_SKIP() << "running as root without setpriv";
    r = test::RunProgram({setpriv, "--reuid=65534", "--regid=65534", "--clear-groups", TESSORCTL,
                          "doctor", "--port", slave_path_},
                         data_home_ + "/nobody");
    if (r.status == 127 || r.err.find("setpriv:") != std::string::npos) {
      GTEST_SKIP() << "cannot drop root here: " << r.err;
    }
  }
  EXPECT_EQ(r.status, kResultPortOpen) << r.out << r.err;
  const auto checks = Checks(r.out);
  ASSERT_TRUE(FourChecks(checks, r.out));
  EXPECT_EQ(checks[0].verdict, "fail");
  EXPECT_NE(checks[0].hint.find("'dialout' group"), std::string::npos) << checks[0].hint;
  for (size_t i = 1; i < checks.size(); ++i) ExpectSkipped(checks[i]);
}

TEST_F(TessorctlDoctor, PortHeldByAnotherProgram) {
  StartDevice(devsim::Scenario{});
  SerialPort holder;
  ASSERT_EQ(holder.Open(slave_path_), kResultOk);
  const auto r = Doctor(slave_path_);
  EXPECT_EQ(r.status, kResultPortOpen) << r.out << r.err;
  const auto checks = Checks(r.out);
  ASSERT_TRUE(FourChecks(checks, r.out));
  // Root passes TIOCEXCL and opens; the lock stops it at the exclusive check.
  EXPECT_EQ(checks[0].verdict, ::geteuid() == 0 ? "ok" : "fail") << checks[0].hint;
  EXPECT_EQ(checks[1].verdict, "fail");
  EXPECT_NE(checks[1].hint.find("Another program holds the port"), std::string::npos)
      << checks[1].hint;
  ExpectSkipped(checks[2]);
  ExpectSkipped(checks[3]);
  holder.Close();
  const auto free = Doctor(slave_path_);
  EXPECT_EQ(free.status, 0) << free.out << free.err;
}

TEST_F(TessorctlDoctor, FileThatIsNoSerialPortFailsTheLineSettings) {
  const std::string file = WriteFile("not-a-tty", {0x24});
  const auto r = Doctor(file);
  EXPECT_EQ(r.status, kResultPortSettings) << r.out << r.err;
  const auto checks = Checks(r.out);
  ASSERT_TRUE(FourChecks(checks, r.out));
  EXPECT_EQ(checks[0].verdict, "ok");
  EXPECT_EQ(checks[1].verdict, "ok");
  EXPECT_EQ(checks[2].verdict, "fail");
  EXPECT_NE(checks[2].hint.find("not a serial port"), std::string::npos) << checks[2].hint;
  ExpectSkipped(checks[3]);
}

TEST_F(TessorctlDoctor, SilentDeviceFailsTheIdentification) {
  devsim::Scenario s;
  s.faults.silent = {{100, 1000}};
  StartDevice(s);
  const auto r = Doctor(slave_path_);
  EXPECT_EQ(r.status, kResultDeviceSilent) << r.out << r.err;
  const auto checks = Checks(r.out);
  ASSERT_TRUE(FourChecks(checks, r.out));
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(checks[i].verdict, "ok") << checks[i].name;
  EXPECT_EQ(checks[3].verdict, "fail");
  EXPECT_NE(checks[3].hint.find("does not answer"), std::string::npos) << checks[3].hint;
}

}  // namespace
}  // namespace tessor
