#include "tools/devsim/answers.h"

#include <utility>

#include "engine/framing.h"

namespace tessor::devsim {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void AppendHexByte(std::string& out, uint8_t b) {
  out.push_back(kHex[b >> 4]);
  out.push_back(kHex[b & 0x0F]);
}

// By default every byte after the leading "$" counts, so a payload byte equal
// to "$" is summed like any other; a firmware that frames its blocks as its
// text answers skips them (as SentenceChecksum does).
std::string WithChecksum(std::string body, BlockChecksum rule = BlockChecksum::kAll) {
  uint8_t sum = 0;
  for (size_t i = 1; i < body.size(); ++i) {
    if (rule == BlockChecksum::kAll || body[i] != '$') sum ^= static_cast<uint8_t>(body[i]);
  }
  body.push_back('*');
  AppendHexByte(body, sum);
  body += "\r\n";
  return body;
}

}  // namespace

std::string TextAnswer(std::string_view text) {
  return FramedSentence(text);
}

std::string DataBlockAnswer(uint16_t index, std::span<const uint8_t> payload, BlockChecksum rule) {
  std::string body = "$LOG102,";
  body.push_back(static_cast<char>(index & 0xFF));
  body.push_back(static_cast<char>(index >> 8));
  body.push_back(static_cast<char>(payload.size()));
  body.append(payload.begin(), payload.end());
  return WithChecksum(std::move(body), rule);
}

std::string ShortRefusal() {
  return WithChecksum("$LOG102,0");
}

std::string HexText(std::span<const uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) AppendHexByte(out, b);
  return out;
}

void CorruptChecksum(std::string& framed) {
  if (framed.size() < 5 || framed[framed.size() - 5] != '*') return;
  char* digits = framed.data() + framed.size() - 4;
  for (int i = 0; i < 2; ++i) {
    const size_t v = std::string_view(kHex).find(digits[i]);
    digits[i] = kHex[(v ^ 0x5) & 0x0F];
  }
}

}  // namespace tessor::devsim
