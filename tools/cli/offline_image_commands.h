#pragma once

#include <CLI/CLI.hpp>

namespace tessor::cli {

// image-info and build-image.
void AddImageCommands(CLI::App& app, int& exit_status);

}  // namespace tessor::cli
