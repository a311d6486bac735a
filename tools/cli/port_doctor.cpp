// tessorctl doctor: why a port does not work, one check per line.
#include "tools/cli/port_doctor.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "engine/serial_port.h"
#include "tools/cli/cli_output.h"
#include "tools/cli/device_session.h"
#include "tools/cli/port_lookup.h"

namespace tessor::cli {

namespace {

// The checks in the order they run; a check that cannot run after an earlier
// one failed is still reported, as failed and "skipped".
constexpr const char* kOpen = "open";
constexpr const char* kExclusive = "exclusive";
constexpr const char* kLineSettings = "line-settings";
constexpr const char* kIdentification = "identification";

class Report {
 public:
  void Pass(const char* check, const std::string& hint) { checks_.push_back({check, true, hint}); }
  // The exit status is the first failure's.
  void Fail(const char* check, const std::string& hint, int status) {
    checks_.push_back({check, false, hint});
    if (status_ == kExitOk) status_ = status;
  }
  void Skip(std::initializer_list<const char*> checks, const std::string& reason) {
    for (const char* check : checks) checks_.push_back({check, false, "skipped: " + reason});
  }
  bool failed() const { return status_ != kExitOk; }
  int Print() const {
    for (const Check& c : checks_) {
      PrintStatus(std::string(c.name) + "\t" + (c.ok ? "ok" : "fail") + "\t" + EscapeField(c.hint));
    }
    return status_;
  }

 private:
  struct Check {
    const char* name;
    bool ok;
    std::string hint;
  };
  std::vector<Check> checks_;
  int status_ = kExitOk;
};

// The descriptor of the checks, given back as the engine gives back its port.
class OpenLine {
 public:
  explicit OpenLine(const std::string& path) : fd_(OpenTty(path)) {}
  ~OpenLine() {
    if (fd_ < 0) return;
    if (exclusive_) ReleaseExclusive(fd_);
    ::close(fd_);
  }
  OpenLine(const OpenLine&) = delete;
  OpenLine& operator=(const OpenLine&) = delete;
  int fd() const { return fd_; }
  bool TakeExclusive() { return exclusive_ = tessor::TakeExclusive(fd_); }

 private:
  int fd_;
  bool exclusive_ = false;
};

std::string OpenHint(int error) {
  if (error == ENOENT || error == ENODEV || error == ENXIO) {
    return std::string(std::strerror(error)) +
           ". Check that the device is plugged in and switched on, and the device path or COM "
           "number (tessorctl ports lists the ports).";
  }
  return PortErrorText(error);
}

void CheckLineSettings(int fd, Report* report) {
  std::string difference;
  if (!ApplyLineSettings(fd) || !ReadBackLineSettings(fd, &difference)) {
    report->Fail(kLineSettings, PortErrorText(errno), kResultPortSettings);
  } else if (!difference.empty()) {
    report->Fail(kLineSettings, "the driver did not keep 57600 baud 8N1 raw: " + difference,
                 kResultPortSettings);
  } else {
    report->Pass(kLineSettings, "57600 baud 8N1 raw, set and read back");
  }
}

// Open, exclusive access and line settings on a descriptor of the doctor's
// own, closed again before the connect opens the port as every job does.
void CheckLine(const std::string& path, Report* report) {
  OpenLine line(path);
  if (line.fd() < 0) {
    const int error = errno;
    report->Fail(kOpen, OpenHint(error), kResultPortOpen);
    // A port held with TIOCEXCL refuses the open itself.
    if (error == EBUSY) {
      report->Fail(kExclusive, PortErrorText(EBUSY), kResultPortOpen);
    } else {
      report->Skip({kExclusive}, "the port did not open");
    }
    report->Skip({kLineSettings}, "the port did not open");
    return;
  }
  report->Pass(kOpen, "opened " + path);
  if (!line.TakeExclusive()) {
    report->Fail(kExclusive, PortErrorText(errno), kResultPortOpen);
    // The settings of a port in another program's use are left alone.
    report->Skip({kLineSettings}, "another program holds the port");
    return;
  }
  report->Pass(kExclusive, "no other program holds the port");
  CheckLineSettings(line.fd(), report);
}

std::string IdentificationHint(int status) {
  if (status > 128) return "interrupted before the device was identified";
  switch (status) {
    case kResultDeviceSilent:
      return "the device does not answer: check that it is switched on and connected to this port, "
             "and that it is a supported detector or logger";
    case kResultNoAnswerRetries:
    case kResultHandshakeRunning:
      return "the device answered but the connect handshake did not end: disconnect and connect it "
             "again, then retry";
    case kResultDeviceBusy:
      return "the device is busy: wait until it has finished and retry";
    case kExitUsage:
      return "no port to connect to";
    case kExitCannotWrite:
      return "the trace cannot be written";
    default:
      return "the connect ended with code " + std::to_string(status);
  }
}

void CheckIdentification(const std::string& path, Report* report) {
  std::string summary;
  const int status = RunOnDevice(path, false, [&summary](DeviceSession& s) {
    const DeviceSummary d = s.engine().device_summary();
    summary = (d.name.empty() ? std::string("unnamed device") : d.name) + ", firmware " +
              std::to_string(d.firmware_version) + ", capacity " + std::to_string(d.capacity);
    return kExitOk;
  });
  if (status == kExitOk) {
    report->Pass(kIdentification, summary);
  } else {
    report->Fail(kIdentification, IdentificationHint(status), status);
  }
}

int Doctor(const std::string& port) {
  Report report;
  std::string path, reason;
  if (!LookUpPort(port, &path, &reason)) {
    report.Fail(kOpen, reason, kExitUsage);
    report.Skip({kExclusive, kLineSettings, kIdentification}, "no port to check");
    return report.Print();
  }
  CheckLine(path, &report);
  if (report.failed()) {
    report.Skip({kIdentification}, "the port is not usable");
  } else {
    CheckIdentification(path, &report);
  }
  return report.Print();
}

}  // namespace

void AddDoctorCommand(CLI::App& app, int& exit_status) {
  auto port = std::make_shared<std::string>();
  CLI::App* doctor = app.add_subcommand(
      "doctor", "check open, exclusive access, line settings and a first identification exchange");
  doctor->add_option("--port", *port, kPortHelp);
  doctor->callback([port, &exit_status] { exit_status = FinishOutput(Doctor(*port)); });
}

}  // namespace tessor::cli
