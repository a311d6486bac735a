#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/database_info.h"
#include "engine/engine_fields.h"

namespace tessor {

// Copies of the engine's state for pages and callers: taken under the
// engine's locks, read without them.

// The track table the last handshake read.
struct TrackTable {
  std::vector<TrackHeaderRecord> headers;
  std::vector<uint32_t> valid;  // indices of the valid headers, ascending
  uint32_t total_bytes = 0;     // bytes of every valid track
};

// How one selected track of a download ended.
enum class TrackEnd {
  kNotReached,
  kWritten,         // downloaded whole, its file written and read back
  kAlreadyWritten,  // whole in the folder from an earlier download (resume)
  kLost,            // part of it never came; its file holds what did
  kRefused,         // the logger refused its header
  kStopped,
  kFileFailed,  // its file could not be written, or read back other than written
};
struct TrackResult {
  int index = 0;
  TrackEnd end = TrackEnd::kNotReached;
};
// Why a track is not whole, for a message; "" for a whole one.
const char* TrackEndText(TrackEnd end);

// How the last track download ended.
struct TrackDownloadSummary {
  int lost = 0;
  // Selected tracks not ended in a whole file: lost, refused, stopped or never reached.
  int unfinished = 0;
  bool file_failed = false;         // a track file could not be created or written
  std::vector<std::string> files;   // files in place under their names, in order
  std::vector<TrackResult> tracks;  // every selected track, in order
  bool whole() const { return unfinished == 0 && !file_failed; }
};

// What the connect learnt of the device.
struct DeviceSummary {
  std::string name;
  uint16_t firmware_version = 0;
  int32_t capacity = 0;
  FlashUsage flash_usage;
  DatabaseCoverage coverage;
  size_t track_count = 0;
  uint32_t garbled_sentences = 0;  // dropped for a wrong checksum
  uint32_t garbled_blocks = 0;
};

// The engine's jobs that run on a thread of their own and end later.
enum class OperationKind { kHandshake, kDatabaseUpload, kDatabaseDownload, kTrackDownload };

}  // namespace tessor
