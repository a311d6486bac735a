#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace tessor::fuzz {

// Takes the fuzzer's bytes front to back: settings first, then chunks. Past
// the end every read gives zeros and empty spans, so a short input still runs.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint32_t U32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(Byte()) << (8 * i);
    return v;
  }
  // The next n bytes, or what is left.
  std::span<const uint8_t> Take(size_t n) {
    const size_t k = n < size_ - pos_ ? n : size_ - pos_;
    std::span<const uint8_t> s(data_ + pos_, k);
    pos_ += k;
    return s;
  }
  // A chunk whose length the input chooses (its first byte, 0 meaning 256).
  std::span<const uint8_t> Chunk() {
    const size_t n = Byte();
    return Take(n == 0 ? 256 : n);
  }
  std::span<const uint8_t> Rest() { return Take(size_ - pos_); }
  bool empty() const { return pos_ >= size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace tessor::fuzz
