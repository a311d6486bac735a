#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tessor {

// Whether an image can be uploaded as it stands, and why not.
struct ImageVerdict {
  bool valid = false;
  std::string reason;  // empty when valid
};

// Checks the magic, that the index fits the file, that every cell's points lie
// inside the file in ascending order from 44 + 16 x X x Y, and that the point
// data ends, with its 4 closing bytes, where the last entry says.
ImageVerdict ValidateImage(std::span<const uint8_t> image);

}  // namespace tessor
