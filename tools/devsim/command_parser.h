#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessor::devsim {

// Cuts the host's byte stream into sentences: "$", body, "*", two hex digits,
// an optional CR and LF. Anything else between sentences is line noise.
class SentenceScanner {
 public:
  enum class Outcome { kNone, kSentence, kBadChecksum };

  // Feeds one byte. On kSentence or kBadChecksum, `text` holds the sentence
  // without "*" and checksum (for a bad one, as it was received).
  Outcome Feed(uint8_t byte, std::string* text);

 private:
  enum class State { kIdle, kBody, kSumHigh, kSumLow, kLineEnd };
  static constexpr size_t kMaxBody = 510;

  Outcome Finish(std::string* text);

  State state_ = State::kIdle;
  std::string body_;
  int received_sum_ = 0;
};

// Command 1000 is "$PSRF107".
inline constexpr int kIdentificationCommand = 1000;

struct HostCommand {
  int number = 0;
  std::vector<std::string> fields;  // the fields after the command word
};

// Splits "$PKVN<3 digits>,fields..." or "$PSRF107"; anything else is nullopt.
std::optional<HostCommand> ParseCommand(std::string_view sentence);

// Strict integer field: optional "-", then digits only.
std::optional<int64_t> ParseInteger(std::string_view field);

}  // namespace tessor::devsim
