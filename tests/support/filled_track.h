#pragma once

#include <cstdint>

#include "tools/devsim/scenario.h"

namespace tessor::test {

// A track of 20-byte records whose bytes are all 0x5A: its size is all that
// matters to the tests that use it.
inline devsim::TrackSource FilledTrack(uint32_t date, uint32_t records) {
  devsim::TrackSource t;
  t.date = date;
  t.format = 2;
  t.records.assign(records * 20, 0x5A);
  return t;
}

}  // namespace tessor::test
