#pragma once

#include <CLI/CLI.hpp>

namespace tessor::cli {

// Registers "doctor": checks a port step by step (open, exclusive access,
// line settings, the connect's first exchange) and says what to do about a
// step that fails.
void AddDoctorCommand(CLI::App& app, int& exit_status);

}  // namespace tessor::cli
