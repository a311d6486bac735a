#include <algorithm>
#include <cstring>
#include <optional>

#include "tools/devsim/answers.h"
#include "tools/devsim/command_fields.h"
#include "tools/devsim/command_handler.h"

// The detector side of the firmware: POI store, database reads and uploads,
// alert ranges.

namespace tessor::devsim {

namespace {

constexpr uint32_t kReadMax = 32;
// A POI answer must fit the host's 1024-byte sentence buffer as hex text.
constexpr size_t kPoiAnswerMax = 30;
constexpr size_t kUploadMax = 255;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Hex pairs, with "%CDB" standing for its own four bytes. The last pair is
// the block's XOR and is not part of the payload.
std::optional<std::vector<uint8_t>> DecodeUpload(std::string_view text, uint8_t* carried_xor) {
  std::vector<uint8_t> bytes;
  bool last_was_pair = false;
  for (size_t i = 0; i < text.size();) {
    if (text.substr(i, 4) == "%CDB") {
      bytes.insert(bytes.end(), {'%', 'C', 'D', 'B'});
      i += 4;
      last_was_pair = false;
      continue;
    }
    const int hi = HexValue(text[i]), lo = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
    i += 2;
    last_was_pair = true;
  }
  if (!last_was_pair || bytes.size() < 2 || bytes.size() - 1 > kUploadMax) return std::nullopt;
  *carried_xor = bytes.back();
  bytes.pop_back();
  return bytes;
}

}  // namespace

// A count query (first index -1) answers "1", the POI count and the room for
// POIs; a record request answers the number sent and their bytes in hex.
void CommandHandler::PoiAnswer(Reply& reply, const HostCommand& c) {
  int64_t v[2];
  if (!Integers(c, 2, v)) return;
  if (v[0] == -1) {
    Say(reply, Format("$LOG114,1,%zu,%lld", model_.poi_count(),
                      static_cast<long long>(model_.config()[9])));
    return;
  }
  if (v[0] < 0 || v[1] < 0) {
    Say(reply, "$LOG114,0");
    return;
  }
  const auto records = model_.PoiRecords(
      static_cast<size_t>(v[0]), std::min<size_t>(static_cast<size_t>(v[1]), kPoiAnswerMax));
  if (records.empty()) {
    Say(reply, "$LOG114,0");
    return;
  }
  Say(reply, Format("$LOG114,%zu,", records.size() / kPoiRecordBytes) + HexText(records));
}
// "$LOG115,<count>,<hex>": a non-zero count, then the bytes; "$LOG115,0" for
// a read outside the memory or of more than 32 bytes.
void CommandHandler::DatabaseRead(Reply& reply, const HostCommand& c) {
  int64_t v[2];
  if (!Integers(c, 2, v)) return;
  std::vector<uint8_t> bytes;
  if (v[0] < 0 || v[1] <= 0 || v[1] > kReadMax ||
      !model_.ReadDatabase(static_cast<uint32_t>(v[0]), static_cast<uint32_t>(v[1]), &bytes)) {
    Say(reply, "$LOG115,0");
    return;
  }
  Say(reply, Format("$LOG115,%zu,", bytes.size()) + HexText(bytes));
}

// Accepted when the critical range lies below the notification range; the
// four values become configuration values 10, 11, 12 and 14.
void CommandHandler::AlertRanges(Reply& reply, const HostCommand& c) {
  int64_t v[4];
  if (!Integers(c, 4, v)) return;
  if (v[1] < 0 || v[1] >= v[2]) {
    Say(reply, "$LOG116,0");
    return;
  }
  model_.SetConfig(10, v[0]);
  model_.SetConfig(11, v[1]);
  model_.SetConfig(12, v[2]);
  model_.SetConfig(14, v[3]);
  Say(reply, "$PSRFTXTSave");
}

// "$LOG999,<address>,1,<XOR>": the XOR is that of the bytes as received, so a
// block damaged on the way is acknowledged with a XOR the host rejects; such a
// block is not written.
void CommandHandler::BlockUpload(Reply& reply, const HostCommand& c) {
  const auto address = c.fields.size() == 2 ? ParseInteger(c.fields[0]) : std::nullopt;
  uint8_t carried = 0;
  const auto bytes = address ? DecodeUpload(c.fields[1], &carried) : std::nullopt;
  if (!bytes || *address < 0) return;
  uint8_t sum = 0;
  for (uint8_t b : *bytes) sum ^= b;
  if (sum == carried) model_.WriteDatabase(static_cast<uint32_t>(*address), *bytes);
  // Blocks are numbered by their place in the image: 128 bytes each from
  // firmware 209 on, 32 before.
  const int64_t block_size = model_.firmware() >= 209 ? 128 : 32;
  if (faults_.TakeBadAckXor(static_cast<uint32_t>(*address / block_size))) sum ^= 0xFF;
  Say(reply, Format("$LOG999,%lld,1,%02X", static_cast<long long>(*address), sum));
}

}  // namespace tessor::devsim
