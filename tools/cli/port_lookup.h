#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace tessor::cli {

// Turns the --port text into a device path: a path stays as it is, "COM3" or
// "3" goes through the port directory, an empty text takes the saved
// "COM Port". False with a reason when it names no port.
bool LookUpPort(const std::string& text, std::string* path, std::string* reason);

// Registers "ports": the port directory's entries, one per line.
void AddPortCommands(CLI::App& app, int& exit_status);

}  // namespace tessor::cli
