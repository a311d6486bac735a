#pragma once

#include <string>
#include <vector>

#include "engine/trace_format.h"

namespace tessor::cli {

// A recorded trace as a person reads it: one line per sentence (time,
// direction, the sentence or data block, what it is, its checksum), the
// notes, the silences longer than the protocol's waits, then a summary.
std::string DecodeTrace(const std::vector<trace::Line>& lines);

}  // namespace tessor::cli
