// The device side of the camera database: header query at connect, upload in
// acknowledged blocks, read-back and comparison. Runs on engine worker threads.
#include <algorithm>

#include "engine/device_engine.h"
#include "engine/field_reader.h"
#include "engine/string_table.h"
#include "engine/timing.h"

namespace tessor {

namespace {

constexpr uint32_t kReadPiece = 32;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

// An erased memory reads as 0xFF bytes: without the magic there is no
// database, and its "bounds" must not become the coverage.
bool CDeviceEngine::QueryDatabaseInfo() {
  if (!ReadDatabaseHeader() || database_info.magic != kImageMagic) {
    ReportStatus(159);
    return false;
  }
  coverage = CoverageOf(database_info);
  return true;
}

// One piece of a device read: 115 with address and count, then its answer.
// Returns true when the piece arrived; failures counts the misses.
bool CDeviceEngine::ReadPiece(uint32_t position, uint32_t n, uint32_t stored, uint32_t length,
                              int* failures) {
  args.read_address = position;
  args.read_count = n;
  TakeReadAnswer();
  SendCommand(115);
  if (!event(AnswerEvent::kLog115).Wait(TimingScale::Ms(timing::kReadPieceWaitMs))) {
    ++*failures;
    return false;
  }
  const std::string answer = TakeReadAnswer();
  FieldReader fields(answer, answer.size() >= 7 ? 7 : answer.size());
  if (TextToLong(fields.Text()) == 0) {
    ++*failures;
    return false;
  }
  const std::string hex = fields.Text(2 * kReadPiece + 2);
  for (uint32_t k = 0; stored + k < length && 2 * k + 1 < hex.size(); ++k) {
    const int hi = HexDigit(hex[2 * k]), lo = HexDigit(hex[2 * k + 1]);
    if (hi < 0 || lo < 0) break;
    read_buffer[stored + k] = static_cast<uint8_t>(hi * 16 + lo);
  }
  return true;
}

bool CDeviceEngine::ReadDeviceBlock(uint32_t start, uint32_t length) {
  read_buffer.assign(length, 0);
  uint32_t position = start, stored = 0;
  int failures = 0;
  while (position < start + length) {
    if (failures > 3) {
      ReportStatusText("Failed to set command. Please try again.");
      return false;
    }
    if (!link_flag.load()) return false;
    PostNotification(WM_DEV_PROGRESS, position - start, length);
    const uint32_t n = std::min(kReadPiece, start + length - position);
    if (ReadPiece(position, n, stored, length, &failures)) {
      stored += kReadPiece;
      position += kReadPiece;
      failures = 0;
    }
  }
  PostNotification(WM_DEV_PROGRESS, std::min(position - start, length), length);
  return true;
}

bool CDeviceEngine::ReadDatabaseHeader() {
  if (!ReadDeviceBlock(0, kHeaderSize)) return false;
  return UnpackHeader(read_buffer, database_info);
}

bool CDeviceEngine::ReadDatabaseIndex() {
  const uint64_t length = IndexSize(database_info.grid_x, database_info.grid_y);
  if (length > capacity_limit()) return false;
  if (!ReadDeviceBlock(kIndexOffset, static_cast<uint32_t>(length))) return false;
  // X x Y = 0 has no entry to take: the index step ends there, successfully,
  // and the point read then finds no range.
  const auto last = LastIndexEntry(read_buffer, database_info.grid_x, database_info.grid_y);
  if (last) database_info.last_entry = *last;
  return true;
}

bool CDeviceEngine::ReadPointData() {
  read_buffer.clear();
  if (!ReadDeviceBlock(kIndexOffset, kIndexEntrySize)) return false;
  database_info.first_entry = ParseIndexEntry(
      std::span<const uint8_t, kIndexEntrySize>(read_buffer.data(), kIndexEntrySize));
  const auto last_at = LastEntryOffset(database_info.first_entry);
  if (!last_at || *last_at > capacity_limit()) return false;
  if (!ReadDeviceBlock(static_cast<uint32_t>(*last_at), kIndexEntrySize)) return false;
  database_info.last_entry_second_read = ParseIndexEntry(
      std::span<const uint8_t, kIndexEntrySize>(read_buffer.data(), kIndexEntrySize));
  const auto range =
      PointDataRange(database_info.first_entry, database_info.last_entry_second_read);
  // A range the device's memory cannot hold is as invalid as a reversed one.
  if (!range || range->start + range->length > capacity_limit()) return false;
  return ReadDeviceBlock(static_cast<uint32_t>(range->start), static_cast<uint32_t>(range->length));
}

}  // namespace tessor
