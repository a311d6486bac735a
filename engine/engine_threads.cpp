#include <chrono>

#include "engine/device_engine.h"
#include "engine/timing.h"

namespace tessor {

namespace {
// Waits until the flag is set or the time is up; true when it was set. The
// thread sets it as its last step and wakes the signal.
bool WaitFinished(const WakeSignal& wake, const std::atomic<bool>& finished, int timeout_ms) {
  const auto deadline = WakeSignal::Clock::now() + std::chrono::milliseconds(timeout_ms);
  return wake.WaitUntil(deadline, [&] { return finished.load(); });
}
}  // namespace

bool CDeviceEngine::ThreadRunning(int slot) const {
  std::lock_guard<std::mutex> lock(slots_mutex_);
  const Slot& s = slots_[slot];
  return s.thread.joinable() && !s.finished->load();
}

bool CDeviceEngine::JoinEnded(int slot) {
  std::lock_guard<std::mutex> lock(slots_mutex_);
  Slot& s = slots_[slot];
  if (!s.thread.joinable()) return true;
  // The slot's previous thread has been told to end; give it the stop time.
  if (!WaitFinished(wake_, *s.finished, transport().WaitMs(timing::kStopThreadWaitMs)))
    return false;
  s.thread.join();
  return true;
}

ResultCode CDeviceEngine::StartThread(int slot, void (CDeviceEngine::*procedure)()) {
  if (!JoinEnded(slot)) return kResultThreadStart;
  std::lock_guard<std::mutex> lock(slots_mutex_);
  Slot& s = slots_[slot];
  auto finished = std::make_shared<std::atomic<bool>>(false);
  s.finished = finished;
  try {
    s.thread = std::thread([this, procedure, finished] {
      (this->*procedure)();
      finished->store(true);
      wake_.Notify();
    });
  } catch (const std::system_error&) {
    return kResultThreadStart;
  }
  return kResultOk;
}

void CDeviceEngine::StopThread(int slot) {
  std::thread thread;
  std::shared_ptr<std::atomic<bool>> finished;
  {
    std::lock_guard<std::mutex> lock(slots_mutex_);
    thread = std::move(slots_[slot].thread);
    finished = slots_[slot].finished;
  }
  if (!thread.joinable()) return;
  if (!finished->load()) {
    link_flag = false;
    operation_running = false;
    worker_running = false;
    // Every loop of every thread tests these flags and every wait is bounded,
    // so the join below ends; the wait only keeps the stop time visible.
    WaitFinished(wake_, *finished, transport().WaitMs(timing::kStopThreadWaitMs));
  }
  thread.join();
}

void CDeviceEngine::StopAllThreads() {
  // Workers first, the link thread last: workers may still send through it.
  for (int slot = kSlotCount - 1; slot >= 0; --slot) StopThread(slot);
}

void CDeviceEngine::LinkThread() {
  while (link_flag.load()) {
    if ((link_status.load() & 1u) == 0) {
      transport().Pause(timing::kLinkPollMs);
      continue;
    }
    if (blind_poll_.load()) {
      transport().Pause(timing::kLinkPollMs);
      LinkPoll(0);
    } else {
      LinkPoll(transport().WaitMs(timing::kLinkPollMs));
    }
  }
  ClosePort();
}

}  // namespace tessor
