#include "engine/framing.h"

#include <cstring>

#include "engine/result_codes.h"

namespace tessor {

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";
}

uint8_t SentenceChecksum(std::string_view text) {
  uint8_t sum = 0;
  for (char c : text) {
    if (c != '$') sum ^= static_cast<uint8_t>(c);
  }
  return sum;
}

ResultCode FrameSentence(std::span<char, kCommandBufferSize> buffer) {
  // The text must be terminated inside the buffer; an unterminated one is too long.
  const void* nul = std::memchr(buffer.data(), '\0', buffer.size());
  if (nul == nullptr) return kResultTooLong;
  const size_t length = static_cast<const char*>(nul) - buffer.data();
  if (kCommandBufferSize - length <= 5) return kResultTooLong;
  const uint8_t sum = SentenceChecksum(std::string_view(buffer.data(), length));
  char* end = buffer.data() + length;
  end[0] = '*';
  end[1] = kHexDigits[sum >> 4];
  end[2] = kHexDigits[sum & 0x0F];
  end[3] = '\r';
  end[4] = '\n';
  end[5] = '\0';
  return kResultOk;
}

std::string FramedSentence(std::string_view text) {
  char buffer[kCommandBufferSize] = {};
  if (text.size() >= kCommandBufferSize) return {};
  std::memcpy(buffer, text.data(), text.size());
  if (FrameSentence(buffer) != kResultOk) return {};
  return std::string(buffer);
}

}  // namespace tessor
