#include "poi/poi.h"

#include <cstring>

namespace tessor {

std::string_view TruncateUtf8(std::string_view text, size_t max_bytes) {
  if (text.size() <= max_bytes) return text;
  size_t cut = max_bytes;
  // Step back over continuation bytes (10xxxxxx) to the start of the character.
  for (int step = 0; step < 3 && cut > 0; ++step) {
    if ((static_cast<unsigned char>(text[cut]) & 0xC0) != 0x80) break;
    --cut;
  }
  if ((static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) cut = max_bytes;  // not UTF-8
  return text.substr(0, cut);
}

void CPOI::SetComment(std::string_view text) {
  const size_t end = text.find('\0');
  const std::string_view kept = TruncateUtf8(text.substr(0, end), kCommentBytes);
  std::memcpy(comments, kept.data(), kept.size());
  comments[kept.size()] = '\0';
}

std::string PoiStatusText(const CPOI& poi) {
  switch (poi.status) {
    case Valid:
      return kStatusOk;
    case OutOfCoverage:
      return kStatusOutOfRange;
    case Duplicate:
      return kStatusDuplicate + std::to_string(poi.duplicateOf + 1);
    case SpeedOutOfRange:
      return kStatusSpeed;
    default:
      return "";
  }
}

}  // namespace tessor
