#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "engine/protocol_constants.h"

namespace tessor {

enum ReceiveState : uint32_t {
  kRxIdle = 0,
  kRxBinarySync = 1,
  kRxFirstChar = 2,
  kRxBody = 3,
  kRxBlockIndexLow = 4,
  kRxBlockIndexHigh = 5,
  kRxBlockLength = 6,
  kRxBlockPayload = 7,
  kRxBlockEnd = 8,
  kRxChecksumHigh = 9,
  kRxChecksumLow = 10,
  kRxAwaitCR = 11,
  kRxAwaitLF = 12,
};

// Byte-at-a-time receiver for the device's sentences. It returns to idle on
// anything it cannot place, switches into a counted mode for the binary payload
// of "$LOG102" data blocks, and notices the chip's binary protocol.
class SentenceReceiver {
 public:
  // The sentence without "*" and checksum; `length` counts every stored byte,
  // so a data block's binary payload (which may hold NULs) is passed whole.
  using SentenceHandler = std::function<void(const char* sentence, size_t length)>;
  using BinaryStopHandler = std::function<void()>;

  // A binary-protocol start pair seen more often than this stops the program.
  static constexpr uint8_t kBinaryPairsTolerated = 6;

  void SetSentenceHandler(SentenceHandler handler) { on_sentence_ = std::move(handler); }
  void SetBinaryStopHandler(BinaryStopHandler handler) { on_binary_stop_ = std::move(handler); }

  void Feed(uint8_t byte);
  void Feed(std::string_view bytes) {
    for (char c : bytes) Feed(static_cast<uint8_t>(c));
  }

  // What a connect resets: state and sentence length. The binary sync count
  // lives for the whole run.
  void Reset();

  uint32_t state() const { return state_; }
  size_t length() const { return length_; }
  uint8_t binary_sync_count() const { return binary_sync_count_; }
  // Sentences dropped for a wrong checksum, and the data blocks among them.
  uint32_t checksum_drops() const { return checksum_drops_.load(); }
  uint32_t block_checksum_drops() const { return block_checksum_drops_.load(); }
  uint16_t block_index() const { return block_index_; }
  uint8_t block_length() const { return block_length_; }

  // Checksum verification can be switched off to hand on every sentence that
  // reaches LF, as a device without trustworthy checksums would need.
  void set_verify_checksum(bool verify) { verify_checksum_ = verify; }

 private:
  void StartSentence();
  void Store(uint8_t byte);
  void StoreXor(uint8_t byte);
  void Xor(uint8_t byte);
  void OnBody(uint8_t byte);
  void OnLineEnd();
  static int HexValue(uint8_t byte);

  SentenceHandler on_sentence_;
  BinaryStopHandler on_binary_stop_;
  uint32_t state_ = kRxIdle;
  char buffer_[kSentenceBufferSize] = {};
  size_t length_ = 0;
  uint8_t running_checksum_ = 0;
  // A device may frame its data blocks as its text answers, skipping every
  // "$" in the checksum: a block is intact by either count.
  uint8_t dollar_free_checksum_ = 0;
  bool in_block_ = false;
  uint8_t received_checksum_ = 0;
  uint8_t binary_sync_count_ = 0;
  uint16_t block_index_ = 0;
  uint8_t block_length_ = 0;
  uint8_t block_seen_ = 0;
  std::atomic<uint32_t> checksum_drops_{0};
  std::atomic<uint32_t> block_checksum_drops_{0};
  bool verify_checksum_ = true;
};

}  // namespace tessor
