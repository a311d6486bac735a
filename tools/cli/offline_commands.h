#pragma once

#include <CLI/CLI.hpp>

namespace tessor::cli {

// Registers the subcommands that work on files only. Each one stores its exit
// status in exit_status when it runs.
void AddOfflineCommands(CLI::App& app, int& exit_status);

}  // namespace tessor::cli
