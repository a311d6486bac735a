#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/device_engine.h"
#include "engine/string_table.h"
#include "engine/timing.h"

namespace tessor {

bool CDeviceEngine::ResolvePortPath() {
  port_path = resolver_ ? resolver_(port_number) : std::string();
  return !port_path.empty();
}

ResultCode CDeviceEngine::OpenPort() {
  if (!ResolvePortPath()) {
    last_system_error_ = ENOENT;
    link_status.fetch_and(~1u);
    return kResultPortOpen;
  }
  std::lock_guard<std::mutex> lock(port_mutex_);
  const ResultCode result = transport().Open(port_path);
  if (result != kResultOk) {
    last_system_error_ = transport().last_error();
    link_status.fetch_and(~1u);
    return result;
  }
  link_status.fetch_or(1u);
  return kResultOk;
}

void CDeviceEngine::ClosePort() {
  std::lock_guard<std::mutex> lock(port_mutex_);
  transport().Close();
  link_status.fetch_and(~1u);
}

// Moves what the driver holds into the ring. A read never takes more than the
// ring's free space, so unread bytes are never overwritten; the rest stays
// queued in the driver for the next cycle.
ResultCode CDeviceEngine::ReadQueued() {
  if (!transport().is_open()) return kResultPortNotOpen;
  const long queued = transport().QueuedBytes();
  if (queued < 0) {
    last_system_error_ = transport().last_error();
    return kResultPortStatus;
  }
  const bool overflow = ring.pending + static_cast<size_t>(queued) > kRingSize;
  size_t want = std::min(static_cast<size_t>(queued), ring.free_space());
  while (want > 0) {
    // Up to the end of the ring first, then from ring[0].
    const size_t piece = std::min(want, kRingSize - ring.write_index);
    const long got = transport().Read(ring.data + ring.write_index, piece);
    if (got < 0) {
      last_system_error_ = transport().last_error();
      return kResultPortStatus;
    }
    if (got == 0) break;
    const size_t next = ring.write_index + static_cast<size_t>(got);
    ring.write_index = static_cast<uint16_t>(next < kRingSize ? next : next - kRingSize);
    ring.pending = static_cast<uint16_t>(ring.pending + got);
    want -= static_cast<size_t>(got);
  }
  return overflow ? kResultRingOverflow : kResultOk;
}

bool CDeviceEngine::WriteSentence(const char* text, size_t length) {
  std::lock_guard<std::mutex> lock(port_mutex_);
  if (!transport().is_open()) {
    last_system_error_ = EBADF;
    return false;
  }
  if (transport().Write(text, length, transport().WaitMs(timing::kWriteTimeoutMs))) return true;
  last_system_error_ = transport().last_error();
  return false;
}

void CDeviceEngine::QueueCommand(uint32_t bit) {
  queued_commands.fetch_or(bit);
  if (wake_fd_ >= 0 && !blind_poll_.load()) {
    const uint64_t one = 1;
    // A full counter already wakes the thread; nothing to do on failure.
    if (::write(wake_fd_, &one, sizeof one) < 0) return;
  }
}

void CDeviceEngine::DrainWakes() {
  uint64_t wakes = 0;
  // Non-blocking: fails with EAGAIN when nothing was queued since the last cycle.
  if (wake_fd_ >= 0 && ::read(wake_fd_, &wakes, sizeof wakes) < 0) wakes = 0;
}

void CDeviceEngine::LinkPoll(int wait_ms) {
  if ((link_status.load() & 1u) == 0) return;
  bool lost = transport().WaitReadable(wait_ms, wake_fd_) == Transport::WaitResult::kLost;
  DrainWakes();
  const int read = ReadQueued();
  if (read == kResultPortStatus && IsPortLossError(last_system_error_)) lost = true;
  if (read == kResultOk || read == kResultRingOverflow) port_access_errors = 0;
  ReceiveBytes();
  SendQueuedCommands();
  if (lost) OnPortLost();
}

void CDeviceEngine::OnPortLost() {
  ++port_access_errors;
  ReportStatus(kStrPortAccessError);
  link_flag = false;
  operation_running = false;
  worker_running = false;
  ClosePort();
}

ResultCode CDeviceEngine::ReceiveBytes() {
  // Exactly the bytes pending now; a sentence completed by a byte is dispatched
  // before the next byte is taken.
  const uint16_t count = ring.pending;
  for (uint16_t i = 0; i < count; ++i) {
    const uint8_t byte = ring.data[ring.read_index];
    ring.pending = static_cast<uint16_t>(ring.pending - 1);
    ring.read_index =
        static_cast<uint16_t>(ring.read_index + 1 == kRingSize ? 0 : ring.read_index + 1);
    receiver.Feed(byte);
  }
  return kResultOk;
}

}  // namespace tessor
