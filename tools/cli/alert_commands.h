#pragma once

#include <CLI/CLI.hpp>

namespace tessor::cli {

// Registers alert-ranges: print the detector's critical and notification
// ranges, or set new ones with the alert settings page's rules.
void AddAlertCommands(CLI::App& app, int& exit_status);

}  // namespace tessor::cli
