#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "tools/devsim/scenario.h"

namespace tessor::devsim {

// A text answer with its checksum, CR and LF.
std::string TextAnswer(std::string_view text);

// "$LOG102," index low and high byte, length byte, payload, "*", checksum, CR LF.
// The checksum covers the bytes between "$" and "*", payload included; by the
// `kSkipDollar` rule every byte equal to "$" among them is left out.
std::string DataBlockAnswer(uint16_t index, std::span<const uint8_t> payload,
                            BlockChecksum rule = BlockChecksum::kAll);

// "$LOG102,0*" with its checksum: the refusal of a track request.
std::string ShortRefusal();

// Two uppercase hex digits per byte.
std::string HexText(std::span<const uint8_t> bytes);

// Spoils the two checksum digits of a framed sentence (they stay hex digits).
void CorruptChecksum(std::string& framed);

}  // namespace tessor::devsim
