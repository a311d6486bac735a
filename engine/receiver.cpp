#include "engine/receiver.h"

#include <cstring>

namespace tessor {

void SentenceReceiver::Reset() {
  state_ = kRxIdle;
  length_ = 0;
  buffer_[0] = '\0';
}

int SentenceReceiver::HexValue(uint8_t byte) {
  // Only uppercase digits count; anything else is skipped by the caller.
  if (byte >= '0' && byte <= '9') return byte - '0';
  if (byte >= 'A' && byte <= 'F') return byte - 'A' + 10;
  return -1;
}

void SentenceReceiver::StartSentence() {
  std::memset(buffer_, 0, sizeof buffer_);
  buffer_[0] = '$';
  length_ = 0;
  running_checksum_ = dollar_free_checksum_ = 0;
  in_block_ = false;
}

// Every store is bounded by the buffer; the states keep a sentence well inside
// it, but a byte never lands past the end whatever arrives.
void SentenceReceiver::Store(uint8_t byte) {
  if (length_ < kSentenceBufferSize - 1) buffer_[length_++] = static_cast<char>(byte);
}

void SentenceReceiver::Xor(uint8_t byte) {
  running_checksum_ ^= byte;
  if (byte != '$') dollar_free_checksum_ ^= byte;
}

void SentenceReceiver::StoreXor(uint8_t byte) {
  Store(byte);
  Xor(byte);
}

void SentenceReceiver::OnBody(uint8_t byte) {
  if (length_ >= kSentenceBufferSize) {
    // Too long to be a sentence: drop it. The byte that found out may be the
    // "$" of the next sentence, so idle gets to see it.
    length_ = 0;
    state_ = kRxIdle;
    Feed(byte);
    return;
  }
  if (byte == '*') {
    buffer_[length_] = '\0';
    received_checksum_ = 0;
    state_ = kRxChecksumHigh;
    return;
  }
  if (length_ == 7 && std::memcmp(buffer_, "$LOG102", 7) == 0) {
    block_index_ = 0;
    state_ = kRxBlockIndexLow;
  }
  // The body may reach the last byte of the buffer; the next byte drops it.
  if (length_ < kSentenceBufferSize) {
    buffer_[length_++] = static_cast<char>(byte);
    Xor(byte);
  }
}

void SentenceReceiver::OnLineEnd() {
  const bool intact = !verify_checksum_ || received_checksum_ == running_checksum_ ||
                      (in_block_ && received_checksum_ == dollar_free_checksum_);
  if (intact) {
    const size_t length = length_;
    if (length < kSentenceBufferSize) buffer_[length] = '\0';
    if (on_sentence_) on_sentence_(buffer_, length);
  } else {
    ++checksum_drops_;
    if (in_block_) ++block_checksum_drops_;
  }
  length_ = 0;
  buffer_[0] = '\0';
  state_ = kRxIdle;
}

void SentenceReceiver::Feed(uint8_t b) {
  switch (state_) {
    case kRxIdle:
      if (b == '$') {
        StartSentence();
        state_ = kRxFirstChar;
      } else if (b == 0xA0) {
        state_ = kRxBinarySync;
      }
      break;
    case kRxBinarySync:
      if (b == 0xA2) {
        ++binary_sync_count_;
        if (binary_sync_count_ == 0)
          binary_sync_count_ = kBinaryPairsTolerated + 1;  // stays stopped
        length_ = 0;
        state_ = kRxIdle;
        if (binary_sync_count_ > kBinaryPairsTolerated && on_binary_stop_) on_binary_stop_();
      } else if (b != 0xA0) {
        length_ = 0;
        state_ = kRxIdle;
      }
      break;
    case kRxFirstChar:
      if (b == '$') {
        StartSentence();
      } else {
        buffer_[1] = static_cast<char>(b);
        length_ = 2;
        Xor(b);
        state_ = kRxBody;
      }
      break;
    case kRxBody:
      OnBody(b);
      break;
    case kRxBlockIndexLow:
      StoreXor(b);
      block_index_ = static_cast<uint16_t>(block_index_ + b);
      state_ = kRxBlockIndexHigh;
      break;
    case kRxBlockIndexHigh:
      if (b == '*') {
        // The short refusal: "$LOG102,0" and the asterisk.
        Store(b);
        buffer_[length_] = '\0';
        received_checksum_ = 0;
        block_index_ = 0;
        block_length_ = 0;
        state_ = kRxChecksumHigh;
      } else {
        StoreXor(b);
        block_index_ = static_cast<uint16_t>(block_index_ + b * 256);
        state_ = kRxBlockLength;
      }
      break;
    case kRxBlockLength:
      StoreXor(b);
      block_length_ = b;
      block_seen_ = 0;
      in_block_ = true;
      received_checksum_ = 0;
      // An empty block has no payload to count: its end follows at once.
      state_ = b == 0 ? kRxBlockEnd : kRxBlockPayload;
      break;
    case kRxBlockPayload:
      StoreXor(b);
      ++block_seen_;
      if (block_seen_ == block_length_) {
        received_checksum_ = 0;
        state_ = kRxBlockEnd;
      }
      break;
    case kRxBlockEnd:
      buffer_[length_] = '\0';
      state_ = kRxChecksumHigh;
      break;
    case kRxChecksumHigh: {
      const int v = HexValue(b);
      if (v >= 0) {
        received_checksum_ = static_cast<uint8_t>(v * 16);
        state_ = kRxChecksumLow;
      }
      break;
    }
    case kRxChecksumLow: {
      const int v = HexValue(b);
      if (v >= 0) {
        received_checksum_ = static_cast<uint8_t>(received_checksum_ + v);
        state_ = kRxAwaitCR;
      }
      break;
    }
    case kRxAwaitCR:
      if (b == '\r') state_ = kRxAwaitLF;
      break;
    case kRxAwaitLF:
      if (b == '\n') OnLineEnd();
      break;
    default:
      state_ = kRxIdle;
      break;
  }
}

}  // namespace tessor
