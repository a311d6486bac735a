// tessorctl: every job of the desktop program without a window, on the same core.

#include <CLI/CLI.hpp>

#include "tools/cli/alert_commands.h"
#include "tools/cli/cli_output.h"
#include "tools/cli/device_commands.h"
#include "tools/cli/offline_commands.h"
#include "tools/cli/port_lookup.h"

int main(int argc, char** argv) {
  using namespace tessor::cli;
  CLI::App app{"Speed-camera detector and GPS logger utility", "tessorctl"};
  app.set_version_flag("--version", std::string("tessorctl ") + TESSOR_VERSION);
  app.require_subcommand(1);
  InstallMessagePrinter();

  int exit_status = kExitOk;
  AddPortCommands(app, exit_status);
  AddDeviceCommands(app, exit_status);
  AddLoggerCommands(app, exit_status);
  AddAlertCommands(app, exit_status);
  AddOfflineCommands(app, exit_status);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }
  return exit_status;
}
