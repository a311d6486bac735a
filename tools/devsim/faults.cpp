#include "tools/devsim/faults.h"

#include <algorithm>

namespace tessor::devsim {

namespace {

bool Listed(const std::vector<uint32_t>& list, uint32_t value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

}  // namespace

FaultState::FaultState(const Faults& faults)
    : faults_(faults),
      silent_(faults.silent),
      busy_(faults.busy),
      bad_ack_left_(faults.bad_ack_xor.begin(), faults.bad_ack_xor.end()) {}

bool FaultState::Take(std::vector<CommandFault>& list, int command) {
  for (CommandFault& f : list) {
    if (f.command == command && f.times > 0) {
      --f.times;
      return true;
    }
  }
  return false;
}

bool FaultState::TakeBadAckXor(uint32_t block_number) {
  return bad_ack_left_.erase(block_number) > 0;
}

bool FaultState::CorruptThisSentence() {
  ++sentences_sent_;
  const uint32_t every = faults_.corrupt_checksum_every;
  return every > 0 && sentences_sent_ % every == 0;
}

bool FaultState::RefuseRequest(uint32_t request) const {
  return Listed(faults_.refuse_requests, request);
}

std::optional<uint32_t> FaultState::StopBlocksAfter(uint32_t request) const {
  if (!faults_.stop_blocks_after) return std::nullopt;
  if (!faults_.stop_blocks_requests.empty() && !Listed(faults_.stop_blocks_requests, request)) {
    return std::nullopt;
  }
  return faults_.stop_blocks_after;
}

std::optional<std::chrono::milliseconds> FaultState::LateAnswer(int command) {
  const uint32_t request = ++requests_by_command_[command];
  for (const LateFault& f : faults_.late) {
    if (f.command == command && Listed(f.requests, request)) {
      return std::chrono::milliseconds(f.delay_ms);
    }
  }
  return std::nullopt;
}

std::string FaultState::Garbage() {
  std::string out;
  std::uniform_int_distribution<int> byte(0, 255);
  while (out.size() < faults_.garbage_between_sentences) {
    const int b = byte(random_);
    if (b != '$' && b != 0xA0) out.push_back(static_cast<char>(b));
  }
  return out;
}

}  // namespace tessor::devsim
