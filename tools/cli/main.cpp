// tessorctl: every job of the desktop program without a window, on the same core.

#include <CLI/CLI.hpp>
#include <clocale>
#include <iostream>
#include <string>

#include "tools/cli/alert_commands.h"
#include "tools/cli/cli_output.h"
#include "tools/cli/device_commands.h"
#include "tools/cli/device_session.h"
#include "tools/cli/offline_commands.h"
#include "tools/cli/port_doctor.h"
#include "tools/cli/port_lookup.h"
#include "tools/cli/trace_commands.h"

namespace {

// A first word that is no subcommand gets the list of those there are.
bool NameUnknownSubcommand(CLI::App& app, int argc, char** argv) {
  if (argc < 2 || argv[1][0] == '-') return false;
  std::string names;
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
    if (sub->get_name() == argv[1]) return false;
    names += " " + sub->get_name();
  }
  std::cerr << "tessorctl: unknown subcommand '" << argv[1] << "'; the subcommands are:" << names
            << "\n";
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tessor::cli;
  // System texts in the user's language; files and printed numbers do not
  // depend on it.
  std::setlocale(LC_ALL, "");
  CLI::App app{"Speed-camera detector and GPS logger utility", "tessorctl"};
  app.set_version_flag("--version", std::string("tessorctl ") + TESSOR_VERSION);
  app.require_subcommand(1);
  app.add_option("--trace", "record every byte of the device session, both ways, into FILE")
      ->type_name("FILE")
      ->each([](const std::string& path) { SetTracePath(path); });
  InstallMessagePrinter();

  int exit_status = kExitOk;
  AddPortCommands(app, exit_status);
  AddDeviceCommands(app, exit_status);
  AddLoggerCommands(app, exit_status);
  AddAlertCommands(app, exit_status);
  AddDoctorCommand(app, exit_status);
  AddOfflineCommands(app, exit_status);
  AddTraceCommands(app, exit_status);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    if (!NameUnknownSubcommand(app, argc, argv)) app.exit(e);
    return kExitUsage;
  }
  // A job that succeeded but left no complete trace has not done what was asked.
  if (exit_status == kExitOk && TraceFailed()) return kExitCannotWrite;
  return exit_status;
}
