#include "tools/cli/trace_commands.h"

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "engine/trace_format.h"
#include "tools/cli/cli_output.h"
#include "tools/cli/trace_decode.h"

namespace tessor::cli {

namespace {

int RunTraceDecode(const std::string& path) {
  std::vector<trace::Line> lines;
  std::string error;
  if (!trace::ReadTrace(path, &lines, &error)) {
    std::cerr << "tessorctl: " << error << "\n";
    return kExitBadInput;
  }
  std::cout << DecodeTrace(lines) << std::flush;
  return std::cout ? kExitOk : kExitCannotWrite;
}

}  // namespace

void AddTraceCommands(CLI::App& app, int& exit_status) {
  auto path = std::make_shared<std::string>();
  CLI::App* decode =
      app.add_subcommand("trace-decode", "Print a recorded trace as a person reads it");
  decode->add_option("file", *path, "trace file")->required();
  decode->callback([path, &exit_status] { exit_status = RunTraceDecode(*path); });
}

}  // namespace tessor::cli
