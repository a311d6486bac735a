#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/protocol_constants.h"
#include "engine/result_codes.h"

namespace tessor {

// Appends "*", the two-digit checksum, CR and LF to the NUL-terminated text in a
// command buffer. Returns 0, or 8 (kResultTooLong) when the text is 507
// characters or longer; nothing is appended then.
ResultCode FrameSentence(std::span<char, kCommandBufferSize> buffer);

// XOR of every character of the text except "$" characters.
uint8_t SentenceChecksum(std::string_view text);

// Convenience for callers that hold the text as a string (the simulator, tests):
// frames a copy; returns an empty string when the text is too long.
std::string FramedSentence(std::string_view text);

}  // namespace tessor
