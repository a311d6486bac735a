#include "tools/devsim/command_parser.h"

#include <charconv>

#include "engine/framing.h"

namespace tessor::devsim {

namespace {

int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::vector<std::string> SplitFields(std::string_view text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    out.emplace_back(text.substr(start, comma - start));
    if (comma == std::string_view::npos) return out;
    start = comma + 1;
  }
}

}  // namespace

SentenceScanner::Outcome SentenceScanner::Feed(uint8_t byte, std::string* text) {
  // A "$" always starts a new sentence: what came before it was incomplete.
  if (byte == '$') {
    state_ = State::kBody;
    body_ = "$";
    return Outcome::kNone;
  }
  switch (state_) {
    case State::kIdle:
      return Outcome::kNone;
    case State::kBody:
      if (byte == '*') {
        state_ = State::kSumHigh;
      } else if (body_.size() >= kMaxBody || byte < 0x20 || byte > 0x7E) {
        state_ = State::kIdle;
      } else {
        body_.push_back(static_cast<char>(byte));
      }
      return Outcome::kNone;
    case State::kSumHigh:
    case State::kSumLow: {
      const int v = HexValue(byte);
      if (v < 0) {
        state_ = State::kIdle;
        return Outcome::kNone;
      }
      received_sum_ = state_ == State::kSumHigh ? v << 4 : received_sum_ | v;
      state_ = state_ == State::kSumHigh ? State::kSumLow : State::kLineEnd;
      return Outcome::kNone;
    }
    case State::kLineEnd:
      if (byte == '\r') return Outcome::kNone;
      state_ = State::kIdle;
      return byte == '\n' ? Finish(text) : Outcome::kNone;
  }
  return Outcome::kNone;
}

SentenceScanner::Outcome SentenceScanner::Finish(std::string* text) {
  *text = body_;
  return SentenceChecksum(body_) == received_sum_ ? Outcome::kSentence : Outcome::kBadChecksum;
}

std::optional<int64_t> ParseInteger(std::string_view field) {
  if (field.empty() || field.size() > 18) return std::nullopt;
  int64_t value = 0;
  const char* end = field.data() + field.size();
  const auto [ptr, ec] = std::from_chars(field.data(), end, value);
  if (ec != std::errc() || ptr != end || field.front() == '+') return std::nullopt;
  return value;
}

std::optional<HostCommand> ParseCommand(std::string_view sentence) {
  if (sentence == "$PSRF107") return HostCommand{kIdentificationCommand, {}};
  if (sentence.substr(0, 5) != "$PKVN" || sentence.size() < 8) return std::nullopt;
  std::vector<std::string> parts = SplitFields(sentence.substr(5));
  const std::string& word = parts.front();
  if (word.size() != 3) return std::nullopt;
  for (char c : word) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  HostCommand command;
  command.number = std::stoi(word);
  command.fields.assign(parts.begin() + 1, parts.end());
  return command;
}

}  // namespace tessor::devsim
