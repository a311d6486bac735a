// The device side of the camera database: the header query at connect and the
// reads of device memory that the download is made of (the upload and the
// download have files of their own). Runs on engine worker threads.
#include <algorithm>
#include <chrono>

#include "database/database_image.h"
#include "engine/device_engine.h"
#include "engine/field_reader.h"
#include "engine/string_table.h"
#include "engine/timing.h"

namespace tessor {

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kReadPiece = 32;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The bytes of one 115 answer into out: false when the device refused the
// read, or when the answer holds another number of bytes than the piece, so
// that it cannot be this piece's answer.
bool PlacePiece(const std::string& answer, uint32_t n, uint8_t* out) {
  FieldReader fields(answer, answer.size() >= 7 ? 7 : answer.size());
  if (TextToLong(fields.Text()) == 0) return false;
  const std::string hex = fields.Text(2 * kReadPiece + 2);
  if (hex.size() != 2 * static_cast<size_t>(n)) return false;
  for (uint32_t k = 0; k < n; ++k) {
    const int hi = HexDigit(hex[2 * k]), lo = HexDigit(hex[2 * k + 1]);
    if (hi < 0 || lo < 0) return false;
    out[k] = static_cast<uint8_t>(hi * 16 + lo);
  }
  return true;
}

}  // namespace

// An erased memory reads as 0xFF bytes: without the magic there is no
// database, and its "bounds" must not become the coverage. A header that could
// not be read says why (no answer, or the link gone).
ResultCode CDeviceEngine::QueryDatabaseInfo() {
  ResultCode result = ReadDatabaseHeader();
  if (result == kResultOk && database_info.magic != kImageMagic) result = kResultNoDatabase;
  if (result != kResultOk) {
    ReportStatus(kStrVeldQueryFailed);
    return result;
  }
  coverage = CoverageOf(database_info);
  return kResultOk;
}

// Waits for the next LOG115 answer until the deadline. A wake without text
// belongs to an answer already taken with the one before it.
bool CDeviceEngine::NextReadAnswer(Clock::time_point deadline, std::string* answer) {
  AutoResetEvent& answered = event(AnswerEvent::kLog115);
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || !answered.Wait(static_cast<int>(left))) return false;
    *answer = TakeReadAnswer();
    if (!answer->empty()) return true;
  }
}

// Answers still owed to earlier asks are awaited and dropped, up to two waits
// after the last ask; what has not come by then counts as lost. The next ask
// then starts with no answer pending.
void CDeviceEngine::SettleReadAnswers() {
  const auto deadline =
      read_last_ask_ + 2 * std::chrono::milliseconds(transport().WaitMs(timing::kReadPieceWaitMs));
  std::string dropped;
  while (read_asks_open_ > 0 && NextReadAnswer(deadline, &dropped)) --read_asks_open_;
  read_asks_open_ = 0;
  event(AnswerEvent::kLog115).Reset();
  TakeReadAnswer();
}

// One piece of a device read, asked for at most four times. Every ask of the
// piece reads the same bytes, so an answer to any of them fills it; an answer
// that cannot be the piece's is dropped and the piece asked for again.
ResultCode CDeviceEngine::ReadPiece(uint32_t address, uint32_t n, uint8_t* out) {
  SettleReadAnswers();
  args.read_address = address;
  args.read_count = n;
  int open = 0;
  for (int failures = 0; failures <= 3 && link_flag.load(); ++failures) {
    if (SendCommand(115) == kResultOk) {
      ++open;
      read_last_ask_ = Clock::now();
    }
    std::string answer;
    if (!NextReadAnswer(
            Clock::now() + std::chrono::milliseconds(transport().WaitMs(timing::kReadPieceWaitMs)),
            &answer)) {
      continue;
    }
    if (open > 0) --open;
    if (PlacePiece(answer, n, out)) {
      read_asks_open_ = open;
      return kResultOk;
    }
  }
  read_asks_open_ = open;
  return link_flag.load() ? kResultNoAnswerRetries : kResultPortNotOpen;
}

ResultCode CDeviceEngine::ReadDeviceBlock(uint32_t start, uint32_t length) {
  read_buffer.assign(length, 0);
  for (uint32_t done = 0; done < length; done += kReadPiece) {
    if (!link_flag.load()) return kResultPortNotOpen;
    PostNotification(WM_DEV_PROGRESS, done, length);
    const uint32_t n = std::min(kReadPiece, length - done);
    const ResultCode result = ReadPiece(start + done, n, read_buffer.data() + done);
    if (result != kResultOk) {
      if (result != kResultPortNotOpen) {
        ReportStatusText("Failed to set command. Please try again.");
      }
      return result;
    }
  }
  PostNotification(WM_DEV_PROGRESS, length, length);
  return kResultOk;
}

// The reads below say kResultNoDatabase where the bytes read cannot be a
// database: the device answered, but what it holds is not one.
ResultCode CDeviceEngine::ReadDatabaseHeader() {
  const ResultCode result = ReadDeviceBlock(0, kHeaderSize);
  if (result != kResultOk) return result;
  return UnpackHeader(read_buffer, database_info) ? kResultOk : kResultNoDatabase;
}

ResultCode CDeviceEngine::ReadDatabaseIndex() {
  const uint64_t length = IndexSize(database_info.grid_x, database_info.grid_y);
  if (length > capacity_limit()) return kResultNoDatabase;
  const ResultCode result = ReadDeviceBlock(kIndexOffset, static_cast<uint32_t>(length));
  if (result != kResultOk) return result;
  // X x Y = 0 has no entry to take: the index step ends there, successfully,
  // and the point read then finds no range.
  const auto last = LastIndexEntry(read_buffer, database_info.grid_x, database_info.grid_y);
  if (last) database_info.last_entry = *last;
  return kResultOk;
}

ResultCode CDeviceEngine::ReadPointData() {
  read_buffer.clear();
  ResultCode result = ReadDeviceBlock(kIndexOffset, kIndexEntrySize);
  if (result != kResultOk) return result;
  database_info.first_entry = ParseIndexEntry(
      std::span<const uint8_t, kIndexEntrySize>(read_buffer.data(), kIndexEntrySize));
  const auto last_at = LastEntryOffset(database_info.first_entry);
  if (!last_at || *last_at > capacity_limit()) return kResultNoDatabase;
  result = ReadDeviceBlock(static_cast<uint32_t>(*last_at), kIndexEntrySize);
  if (result != kResultOk) return result;
  database_info.last_entry_second_read = ParseIndexEntry(
      std::span<const uint8_t, kIndexEntrySize>(read_buffer.data(), kIndexEntrySize));
  const auto range =
      PointDataRange(database_info.first_entry, database_info.last_entry_second_read);
  // A range the device's memory cannot hold is as invalid as a reversed one.
  if (!range || range->start + range->length > capacity_limit()) return kResultNoDatabase;
  return ReadDeviceBlock(static_cast<uint32_t>(range->start), static_cast<uint32_t>(range->length));
}

}  // namespace tessor
