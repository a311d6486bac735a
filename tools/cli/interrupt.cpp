#include "tools/cli/interrupt.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <iostream>

#include "tools/cli/cli_output.h"

namespace tessor::cli {

namespace {

std::atomic<int> taken_signal{0};
std::atomic<int> wake_fd{-1};
constexpr int kWatchPollMs = 200;

// Async-signal-safe: an atomic store and a write(2), nothing else.
void OnSignal(int signal) {
  const int saved_errno = errno;
  int none = 0;
  if (!taken_signal.compare_exchange_strong(none, signal)) _exit(128 + signal);
  const char byte = 1;
  const int fd = wake_fd.load();
  if (fd >= 0 && ::write(fd, &byte, 1) < 0) {
    // The watch also polls the flag: a full pipe loses nothing.
  }
  errno = saved_errno;
}

sigset_t InterruptSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

InterruptWatch::InterruptWatch(std::function<void()> on_signal) : on_signal_(std::move(on_signal)) {
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) pipe_[0] = pipe_[1] = -1;
  wake_fd = pipe_[1];
  // Blocked here before any engine thread exists, so those threads inherit it.
  const sigset_t signals = InterruptSignals();
  pthread_sigmask(SIG_BLOCK, &signals, &old_mask_);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &old_int_);
  sigaction(SIGTERM, &action, &old_term_);
  thread_ = std::thread([this] { Run(); });
}

InterruptWatch::~InterruptWatch() {
  Stop();
}

void InterruptWatch::Stop() {
  if (!thread_.joinable()) return;
  stop_ = true;
  thread_.join();
  wake_fd = -1;
  sigaction(SIGINT, &old_int_, nullptr);
  sigaction(SIGTERM, &old_term_, nullptr);
  pthread_sigmask(SIG_SETMASK, &old_mask_, nullptr);
  for (int& fd : pipe_) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

int InterruptWatch::Signal() {
  return taken_signal.load();
}

void InterruptWatch::Run() {
  // The one thread that takes the signals while the watch lasts.
  const sigset_t signals = InterruptSignals();
  pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
  bool told = false;
  while (!stop_.load()) {
    pollfd p{pipe_[0], POLLIN, 0};
    if (::poll(&p, pipe_[0] >= 0 ? 1 : 0, kWatchPollMs) > 0) {
      char drain[16];
      while (::read(pipe_[0], drain, sizeof drain) > 0) {
      }
    }
    if (!told && Signal() != 0) {
      told = true;
      if (on_signal_) on_signal_();
    }
  }
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

}  // namespace tessor::cli
