#pragma once

#include <CLI/CLI.hpp>

namespace tessor::cli {

// Registers the subcommands that read recorded traces. Each one stores its
// exit status in exit_status when it runs.
void AddTraceCommands(CLI::App& app, int& exit_status);

}  // namespace tessor::cli
