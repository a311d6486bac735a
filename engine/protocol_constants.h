#pragma once

#include <cstddef>
#include <cstdint>

namespace tessor {

// Answer flags A: set by the dispatcher, cleared and tested by the operations.
namespace flag_a {
inline constexpr uint32_t kLog103Ok = 0x1;
inline constexpr uint32_t kLog104Ok = 0x2;
inline constexpr uint32_t kLog105Ok = 0x4;
inline constexpr uint32_t kLog106Ok = 0x8;
inline constexpr uint32_t kLog109Ok = 0x10;
inline constexpr uint32_t kPoiAnswer = 0x80;
inline constexpr uint32_t kAlertSaved = 0x100;
inline constexpr uint32_t kLog101None = 0x10000;
inline constexpr uint32_t kLog102Refused = 0x40000;
inline constexpr uint32_t kLog104Refused = 0x80000;
inline constexpr uint32_t kLog105Refused = 0x100000;
inline constexpr uint32_t kLog106Refused = 0x200000;
inline constexpr uint32_t kLog109Refused = 0x1000000;
inline constexpr uint32_t kLog103Refused = 0x2000000;
inline constexpr uint32_t kPoiNone = 0x10000000;
inline constexpr uint32_t kLog116Refused = 0x40000000;
}  // namespace flag_a

// Answer flags B.
namespace flag_b {
inline constexpr uint16_t kBusy = 0x1;
inline constexpr uint16_t kLog001 = 0x2;
inline constexpr uint16_t kDateTime = 0x4;
inline constexpr uint16_t kLog003 = 0x8;
inline constexpr uint16_t kBattery = 0x10;
inline constexpr uint16_t kFlashUsage = 0x20;
inline constexpr uint16_t kTrackHeader = 0x40;
inline constexpr uint16_t kStoredPosition = 0x80;
inline constexpr uint16_t kConfiguration = 0x100;
inline constexpr uint16_t kTransferComplete = 0x200;
inline constexpr uint16_t kPositionReport = 0x400;
inline constexpr uint16_t kPositionText = 0x800;
}  // namespace flag_b

// Queued-command bits; the link thread sends them in kQueueOrder.
namespace queue_bit {
inline constexpr uint32_t k100 = 0x1;
inline constexpr uint32_t k101 = 0x2;
inline constexpr uint32_t k102 = 0x4;
inline constexpr uint32_t k103 = 0x8;
inline constexpr uint32_t k104 = 0x10;
inline constexpr uint32_t k105 = 0x20;
inline constexpr uint32_t k106 = 0x40;
inline constexpr uint32_t k107 = 0x80;
inline constexpr uint32_t k108 = 0x100;
inline constexpr uint32_t k109 = 0x200;
inline constexpr uint32_t k001 = 0x400;
inline constexpr uint32_t k002 = 0x800;
inline constexpr uint32_t k003 = 0x1000;
inline constexpr uint32_t k004 = 0x2000;
inline constexpr uint32_t k116 = 0x4000;
}  // namespace queue_bit

struct QueuedCommand {
  uint32_t bit;
  int number;
};

inline constexpr QueuedCommand kQueueOrder[] = {
    {queue_bit::k001, 1},   {queue_bit::k002, 2},   {queue_bit::k003, 3},   {queue_bit::k004, 4},
    {queue_bit::k100, 100}, {queue_bit::k101, 101}, {queue_bit::k102, 102}, {queue_bit::k103, 103},
    {queue_bit::k104, 104}, {queue_bit::k116, 116}, {queue_bit::k105, 105}, {queue_bit::k106, 106},
    {queue_bit::k107, 107}, {queue_bit::k108, 108}, {queue_bit::k109, 109},
};

// The answer events; each is auto-reset.
enum class AnswerEvent : int {
  kLog100,
  kLog101,
  kLog102,
  kLog103,
  kLog108,
  kLog110,
  kLog111,
  kLog113,
  kLog114,
  kLog115,
  kVersion,
  kEraseDone,
  kBlockAck,
  kCount
};

// The device modes that command 113 sets.
enum class LinkMode : int {
  kUpload = 1,     // before a database upload
  kOperation = 2,  // back to operation mode, also before a database download
  kLink = 3,       // link mode, for logger transfers and settings
};

// Command number of "$PSRF107", the identification query.
inline constexpr int kCommandVersion = 1000;

inline constexpr size_t kCommandBufferSize = 512;
inline constexpr size_t kSentenceBufferSize = 1024;
inline constexpr size_t kRingSize = 8192;
inline constexpr size_t kPositionTextSize = 1024;
inline constexpr size_t kBlockUploadMax = 128;
inline constexpr size_t kMaxBlockPayload = 240;
inline constexpr unsigned kMaxBlockIndex = 272;
inline constexpr size_t kDeviceNameSize = 60;
inline constexpr size_t kAlertTextMax = 60;
// Room of the POI byte block: 64 records of 16 bytes.
inline constexpr size_t kPoiRecordSize = 16;
inline constexpr size_t kPoiBlockSize = 64 * kPoiRecordSize;

// Engine notifications, each with two integer parameters.
inline constexpr int WM_DEV_PROGRESS = 0x9002;
inline constexpr int WM_DEV_OPERATION_END = 0x9003;
inline constexpr int WM_DEV_ERASE_BUSY = 0x9004;
inline constexpr int WM_DEV_ERASE_DONE = 0x9005;
inline constexpr int WM_DEV_ENABLE_CONTROLS = 0x9006;
inline constexpr int WM_DEV_DOWNLOAD_END = 0x9008;
inline constexpr int WM_DEV_PROGRESS_RESET = 0x900B;

}  // namespace tessor
