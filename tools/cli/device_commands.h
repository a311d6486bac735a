#pragma once

#include <CLI/CLI.hpp>

namespace tessor::cli {

// Registers the subcommands that connect to a device. Each one stores its exit
// status in exit_status when it runs.
void AddDeviceCommands(CLI::App& app, int& exit_status);
// Registers the logger subcommands, the device ones and the offline convert-log.
void AddLoggerCommands(CLI::App& app, int& exit_status);

}  // namespace tessor::cli
