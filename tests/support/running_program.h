#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tessor::test {

// A program started in the background with standard output and error caught
// in files, for tests that act on it while it runs (signals). It is killed
// if the test ends before it does.
class RunningProgram {
 public:
  RunningProgram(std::vector<std::string> args, const std::string& scratch)
      : out_path_(scratch + ".stdout"), err_path_(scratch + ".stderr") {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~RunningProgram() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  bool started() const { return pid_ > 0; }
  void Signal(int signal) const {
    if (pid_ > 0) ::kill(pid_, signal);
  }
  // The signal that ended the program, 0 when it exited on its own.
  int killed_by() const { return killed_by_; }
  std::string out() const { return Slurp(out_path_); }
  std::string err() const { return Slurp(err_path_); }

  // The exit status (128 + the signal for a killed program), or -1 when the
  // program is still running after the time-out.
  int WaitExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (pid_ > 0) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        if (WIFEXITED(status)) return WEXITSTATUS(status);
        killed_by_ = WTERMSIG(status);
        return 128 + killed_by_;
      }
      if (std::chrono::steady_clock::now() > deadline) return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
  }

 private:
  static std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  pid_t pid_ = -1;
  int killed_by_ = 0;
  std::string out_path_, err_path_;
};

}  // namespace tessor::test
