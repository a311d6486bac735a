#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tools/devsim/scenario.h"

namespace tessor::devsim {

// The scenario's faults with what is left of each.
class FaultState {
 public:
  explicit FaultState(const Faults& faults);

  // True (and one fewer left) when this command is to be ignored or answered busy.
  bool TakeSilent(int command) { return Take(silent_, command); }
  bool TakeBusy(int command) { return Take(busy_, command); }
  // True once for each listed upload block number.
  bool TakeBadAckXor(uint32_t block_number);
  // Counts a sentence sent; true for every N-th.
  bool CorruptThisSentence();

  // Track requests are numbered from 1 over the whole run.
  uint32_t NextTrackRequest() { return ++track_requests_; }
  bool RefuseRequest(uint32_t request) const;
  // Payload bytes after which this request's blocks stop, if any.
  std::optional<uint32_t> StopBlocksAfter(uint32_t request) const;

  // Counts a request of this command; the delay of its answer when it is to be late.
  std::optional<std::chrono::milliseconds> LateAnswer(int command);
  bool not_busy_reports() const { return faults_.not_busy_reports; }

  // Line noise between sentences: never "$" nor the binary-protocol start byte.
  std::string Garbage();
  uint32_t binary_protocol_pairs() const { return faults_.binary_protocol_pairs; }
  const std::optional<uint32_t>& vanish_after_ms() const { return faults_.vanish_after_ms; }
  const std::optional<uint32_t>& vanish_after_bytes() const { return faults_.vanish_after_bytes; }

 private:
  static bool Take(std::vector<CommandFault>& list, int command);

  Faults faults_;
  std::vector<CommandFault> silent_;
  std::vector<CommandFault> busy_;
  std::set<uint32_t> bad_ack_left_;
  uint64_t sentences_sent_ = 0;
  uint32_t track_requests_ = 0;
  std::map<int, uint32_t> requests_by_command_;
  std::minstd_rand random_{20070314};
};

}  // namespace tessor::devsim
