// alert-ranges: the alert settings page without a window.
#include "tools/cli/alert_commands.h"

#include <iostream>
#include <memory>

#include "logger/logger_settings.h"
#include "tools/cli/cli_output.h"
#include "tools/cli/decimal_options.h"
#include "tools/cli/device_session.h"

namespace tessor::cli {

namespace {

struct AlertOptions {
  std::string port;
  bool progress = false;
  int critical = 0;
  int notification = 0;
};

void Message(const std::string& text) {
  std::cerr << "message: " << text << std::endl;
}

void PrintRanges(int critical, int notification) {
  PrintStatus("critical\t" + std::to_string(critical));
  PrintStatus("notification\t" + std::to_string(notification));
}

int ReadRanges(CDeviceEngine& e, int* critical, int* notification) {
  LoggerConfig config;
  if (const int result = QueryLoggerConfigWithTries(e, &config); result != kResultOk) {
    Message("Failed to get  configuration!");
    return result;
  }
  *critical = static_cast<int>(config.value(11));
  *notification = static_cast<int>(config.value(12));
  return kResultOk;
}

int SetRanges(DeviceSession& s, int critical, int notification) {
  const int result = SetAlertRangesWithTries(s.engine(), critical, notification);
  if (result == kResultBadArgument) {
    Message("Notification range should be more than critical range 200 M!!");
    return kExitUsage;
  }
  if (result != kResultOk) {
    Message("Failed to set VELD configuration!! Please retry latter.");
    return result;
  }
  Message("Set VELD configuration successfully!!");
  PrintRanges(critical, notification);
  return kExitOk;
}

int AlertRanges(DeviceSession& s, const AlertOptions& o) {
  int critical = 0, notification = 0;
  if (const int read = ReadRanges(s.engine(), &critical, &notification); read != kResultOk) {
    return read;
  }
  if (o.critical == 0) {
    PrintRanges(critical, notification);
    return kExitOk;
  }
  // The device already holds what was asked for: nothing is sent.
  if (o.critical == critical && o.notification == notification) {
    Message(
        "Critical range and notification range should not be the same with the device "
        "setting!!");
    PrintRanges(critical, notification);
    return kExitOk;
  }
  return SetRanges(s, o.critical, o.notification);
}

// The values the page's lists offer: hundreds, 200 to 1800 and 400 to 2000.
CLI::Validator Hundreds(int low, int high) {
  return CLI::Validator(
      [low, high](std::string& text) -> std::string {
        const auto value = ParseDecimal(text);
        if (!value || *value < low || *value > high || *value % 100 != 0) {
          return "must be a multiple of 100 from " + std::to_string(low) + " to " +
                 std::to_string(high);
        }
        return {};
      },
      "METRES");
}

}  // namespace

void AddAlertCommands(CLI::App& app, int& exit_status) {
  auto o = std::make_shared<AlertOptions>();
  CLI::App* sub = app.add_subcommand(
      "alert-ranges", "print the alert ranges, or set new ones with the desktop page's rules");
  sub->add_option("--port", o->port, kPortHelp);
  sub->add_flag("--progress", o->progress, "print 'progress DONE/TOTAL' lines on standard error");
  CLI::Option* critical =
      AddDecimal(sub, "--critical", &o->critical, "critical range in metres: 200, 300, ... 1800",
                 Hundreds(200, 1800));
  CLI::Option* notification =
      AddDecimal(sub, "--notification", &o->notification,
                 "notification range in metres: 400, 500, ... 2000, above the critical range",
                 Hundreds(400, 2000));
  critical->needs(notification);
  notification->needs(critical);
  sub->callback([o, &exit_status] {
    exit_status = FinishOutput(
        RunOnDevice(o->port, o->progress, [&](DeviceSession& s) { return AlertRanges(s, *o); }));
  });
}

}  // namespace tessor::cli
