// tessor-devsim: the simulated detector/logger on a pseudo-terminal.

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "tools/devsim/pty.h"
#include "tools/devsim/replay.h"
#include "tools/devsim/scenario.h"
#include "tools/devsim/simulator.h"

namespace {

namespace fs = std::filesystem;
using namespace tessor::devsim;

struct CommandLine {
  std::optional<fs::path> scenario, link, dump_db, dump_log, transcript, replay;
  bool pace = true;
  bool once = false;
  bool help = false;
};

constexpr const char* kUsage =
    "usage: tessor-devsim [--scenario FILE.json] [--link PATH] [--no-pace] [--once]\n"
    "                     [--dump-db FILE] [--dump-log FILE] [--transcript FILE]\n"
    "       tessor-devsim --replay TRACE [--link PATH] [--no-pace] [--once]\n";

constexpr const char* kOptions =
    "A simulated detector/logger on a pseudo-terminal; prints the port's path first.\n"
    "  --scenario FILE.json  the device to simulate (default: a detector-logger with\n"
    "                        firmware 209, 2 MiB of database memory, no tracks)\n"
    "  --link PATH           also make PATH a symbolic link to the port (default: one\n"
    "                        in the per-user ports folder the desktop program lists)\n"
    "  --no-pace             send at once instead of at 57600 baud\n"
    "  --once                end after a host has opened and closed the port once\n"
    "  --dump-db FILE        on exit, write the database memory\n"
    "  --dump-log FILE       on exit, write the log memory\n"
    "  --transcript FILE     on exit, write both directions with millisecond times\n"
    "                        (the trace format)\n"
    "  --replay TRACE        play the device's side of a recorded trace instead;\n"
    "                        --no-pace drops its recorded delays\n"
    "  -h, --help            print this help and exit\n"
    "Runs until SIGINT or SIGTERM.\n";

std::optional<CommandLine> ParseArguments(int argc, char** argv) {
  CommandLine c;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&](std::optional<fs::path>& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    bool ok = true;
    if (arg == "--scenario")
      ok = value(c.scenario);
    else if (arg == "--link")
      ok = value(c.link);
    else if (arg == "--dump-db")
      ok = value(c.dump_db);
    else if (arg == "--dump-log")
      ok = value(c.dump_log);
    else if (arg == "--transcript")
      ok = value(c.transcript);
    else if (arg == "--replay")
      ok = value(c.replay);
    else if (arg == "--no-pace")
      c.pace = false;
    else if (arg == "--once")
      c.once = true;
    else if (arg == "--help" || arg == "-h")
      c.help = true;
    else
      ok = false;
    if (!ok) return std::nullopt;
  }
  // A replay has no device model: nothing to load or dump.
  if (c.replay && (c.scenario || c.dump_db || c.dump_log || c.transcript)) return std::nullopt;
  return c;
}

// The per-user ports folder, where the desktop program looks for simulators.
fs::path DefaultLink() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const char* home = std::getenv("HOME");
  const fs::path folder =
      runtime != nullptr && *runtime != '\0'
          ? fs::path(runtime) / "tessor/ports"
          : fs::path(home != nullptr ? home : ".") / ".local/state/tessor/ports";
  return folder / ("tessor-devsim-" + std::to_string(getpid()));
}

bool MakeLink(const fs::path& link, const std::string& target) {
  std::error_code ec;
  if (link.has_parent_path()) fs::create_directories(link.parent_path(), ec);
  if (fs::is_symlink(fs::symlink_status(link, ec))) fs::remove(link, ec);
  fs::create_symlink(target, link, ec);
  if (ec) std::cerr << "tessor-devsim: cannot link " << link << ": " << ec.message() << "\n";
  return !ec;
}

void WriteFile(const std::optional<fs::path>& path, const std::string& bytes) {
  if (!path) return;
  std::ofstream out(*path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) std::cerr << "tessor-devsim: cannot write " << *path << "\n";
}

std::string AsText(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// Serves until SIGINT or SIGTERM, or until the simulator ends by itself.
template <typename Server>
void Serve(Server& server, const sigset_t& signals) {
  const timespec tick{0, 100'000'000};
  while (!server.WaitFinished(std::chrono::milliseconds(0))) {
    if (sigtimedwait(&signals, nullptr, &tick) > 0) return;
  }
}

// Exit status 1 when the host left the trace or, with --once, closed the port
// before its end: a replay that did not run through is no success.
int Replay(const CommandLine& args, ReplayScript script, const PtyEnds& pty,
           const sigset_t& signals) {
  ReplayOptions options;
  options.pace = args.pace;
  options.once = args.once;
  options.on_divergence = [](const std::string& message) {
    std::cerr << "tessor-devsim: " << message << std::endl;
  };
  Replayer replayer(pty.master, std::move(script), options);
  replayer.Start();
  Serve(replayer, signals);
  replayer.Stop();
  if (!replayer.divergence().empty()) return 1;
  if (args.once && !replayer.complete()) {
    std::cerr << "tessor-devsim: the host closed the port before the trace's end\n";
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const auto args = ParseArguments(argc, argv);
  if (!args) {
    std::cerr << kUsage;
    return 2;
  }
  if (args->help) {
    std::cout << kUsage << kOptions;
    return 0;
  }
  Scenario scenario;
  try {
    if (args->scenario) scenario = LoadScenario(*args->scenario);
  } catch (const std::exception& e) {
    std::cerr << "tessor-devsim: " << e.what() << "\n";
    return 1;
  }
  ReplayScript script;
  std::string error;
  if (args->replay && !LoadReplayScript(args->replay->string(), &script, &error)) {
    std::cerr << "tessor-devsim: " << error << "\n";
    return 1;
  }
  // The signals are taken synchronously; the serving thread inherits the mask.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  const auto pty = OpenSimulatorPty();
  if (!pty) {
    std::perror("tessor-devsim: openpty");
    return 1;
  }
  // The link exists before the path is printed, so a reader of the line can use either.
  const fs::path link = args->link ? *args->link : DefaultLink();
  const bool linked = MakeLink(link, pty->slave_path);
  std::cout << pty->slave_path << std::endl;

  if (args->replay) {
    const int status = Replay(*args, std::move(script), *pty, signals);
    std::error_code ec;
    if (linked) fs::remove(link, ec);
    return status;
  }
  Simulator simulator(pty->master, scenario, SimulatorOptions{args->pace, args->once});
  simulator.Start();
  Serve(simulator, signals);
  simulator.Stop();

  WriteFile(args->dump_db, AsText(simulator.DatabaseDump()));
  WriteFile(args->dump_log, AsText(simulator.LogDump()));
  WriteFile(args->transcript, simulator.TranscriptText());
  std::error_code ec;
  if (linked) fs::remove(link, ec);
  return 0;
}
