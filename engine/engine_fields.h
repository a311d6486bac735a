#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/protocol_constants.h"

namespace tessor {

// Receive ring between the port and the receiver; touched by the link thread only.
struct ReceiveRing {
  uint8_t data[kRingSize] = {};
  uint16_t write_index = 0;
  uint16_t read_index = 0;
  uint16_t pending = 0;

  void Clear() { write_index = read_index = pending = 0; }
  size_t free_space() const { return kRingSize - pending; }
};

// Arguments of the outgoing commands, written by an operation before it sends
// or queues the command.
struct CommandArgs {
  // 001: date and time.
  uint16_t year = 0;
  uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
  // 101: the header being queried.
  int32_t header_index = 0;
  // 102: one track request.
  uint32_t request_address = 0;
  uint8_t request_format = 0;
  uint32_t request_count = 0;
  // 103: the logger's two switches (log on/off, NMEA output on/off).
  uint8_t log_switch = 0;
  uint8_t nmea_switch = 0;
  // 104
  uint8_t log_type = 0;
  uint32_t log_interval = 0;
  uint8_t data_type = 0;
  uint8_t memory_full = 0;
  // 105
  int32_t speed_filter = 0;
  // 106
  float position_latitude = 0, position_longitude = 0;
  int32_t position_value = 0;
  // 109
  int32_t erase_value = 0;
  // 110
  bool alert_text_flag = false;
  std::string alert_text;
  // 113
  LinkMode link_mode = LinkMode::kLink;
  // 114
  int16_t poi_first = -1;
  uint16_t poi_count = 0;
  // 115
  uint32_t read_address = 0;
  uint32_t read_count = 0;
  // 116
  int32_t alert_values[3] = {4096, 0, 0};
  // 999
  uint8_t block_data[kBlockUploadMax] = {};
  uint32_t block_count = 0;
  uint32_t block_address = 0;
};

// The fourteen logger configuration values of "LOG108", named where they have a
// meaning. Sending 104, 105 and 106 updates the matching members.
struct LoggerConfig {
  uint8_t data_type = 0;            // 1: selector C (12/16/20-byte records)
  int32_t position_value = 0;       // 2: stored-position value
  uint8_t memory_full = 0;          // 3: switch D
  uint8_t log_type = 0;             // 4: switch A
  uint32_t log_interval = 0;        // 5: value B
  uint32_t value6 = 0;              // 6
  int32_t speed_filter = 0;         // 7
  uint32_t track_header_count = 0;  // 8: bounds command 101
  uint32_t value9_14[6] = {};       // 9 to 14
  float stored_latitude = 0, stored_longitude = 0;

  uint32_t value(int n) const { return value9_14[n - 9]; }
};

struct TrackHeaderAnswer {
  uint32_t header_value = 0;  // start date YYMMDD
  uint8_t record_format = 0;
  uint32_t record_count = 0;
  uint32_t start_address = 0;
};

// One row of the track-header table, in the device's header order.
struct TrackHeaderRecord {
  uint32_t valid = 0;  // 1 when the device returned the header
  uint32_t selected = 0;
  uint32_t header_value = 0;  // start date YYMMDD
  uint8_t record_format = 0;  // 0, 1, 2: 12-, 16-, 20-byte records
  uint32_t record_count = 0;
  uint32_t start_address = 0;
};

// Bytes of one log record of a format; 0 for an unknown format.
inline uint32_t RecordSize(uint8_t format) {
  return format == 0 ? 12 : format == 1 ? 16 : format == 2 ? 20 : 0;
}

struct FlashUsage {
  uint16_t value1 = 0;
  uint32_t value2 = 0;
  uint32_t value3 = 0;
  uint8_t used_percent = 0;
};

struct DeviceDateTime {
  uint16_t year = 0;
  uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

struct PositionReport {
  DeviceDateTime when;
  float latitude = 0, longitude = 0;
  float extra1 = 0, extra2 = 0;
};

// Answers to track requests come in the order of the requests, each the
// short refusal or blocks of rising index from 0: counting them tells the
// download how many of its requests are still owed an answer, whether or not
// their blocks are taken. A block whose index does not rise begins the next
// answer even when that answer's first block was lost on the line.
struct AnswerCount {
  uint32_t begun = 0;  // answers begun since the engine was made
  uint32_t bytes = 0;  // of the last answer begun
  uint16_t last_index = 0;
  bool in_answer = false;  // a block came since the last answer ended in a refusal
  bool open = false;       // the last answer begun has not yet brought its bytes

  void Refused() {
    ++begun;
    in_answer = open = false;
  }
  void Block(uint16_t index, uint32_t length, uint32_t expected) {
    if (index == 0 || !in_answer || index <= last_index) {
      ++begun;
      bytes = 0;
      open = true;
    }
    in_answer = true;
    last_index = index;
    if (!open) return;
    bytes += length;
    if (bytes >= expected) open = false;
  }
};

// State of a "$LOG102" data transfer: the track being read and the current
// request. Prepared by the track download, filled by the link thread.
struct TransferState {
  std::vector<uint8_t> buffer;  // the whole track
  uint32_t write_offset = 0;    // bytes of the track stored so far
  uint32_t bytes_received = 0;  // of the current request
  uint32_t bytes_expected = 0;
  uint16_t last_index = 0;
  bool first_seen = false;
  bool complete = false;
  bool error = false;
  uint32_t track_bytes = 0;
  std::atomic<uint32_t> overall_received{0};
  // Blocks that would not fit the track or the request: refused, counted.
  uint32_t oversize_blocks = 0;
  // While set, every block is dropped: a repeated request's second answer is
  // still on its way and must not be taken for the next request's.
  bool discard = false;
  std::atomic<int64_t> last_block_ns{0};  // steady clock of the last block seen
  AnswerCount answers;

  void BeginTrack(uint32_t total) {
    buffer.assign(total, 0xFF);
    write_offset = track_bytes = 0;
  }
  void BeginRequest(uint32_t expected) {
    bytes_received = 0;
    bytes_expected = expected;
    last_index = 0;
    first_seen = complete = false;
  }
  // A single request of `expected` bytes into a buffer of that size.
  void Prepare(uint32_t expected) {
    BeginTrack(expected);
    BeginRequest(expected);
    error = false;
  }
};

struct PoiRead {
  bool count_query = false;  // the last 114 was a count query
  uint32_t count = 0;        // POI count field
  uint32_t second_count = 0;
  uint32_t records_in_answer = 0;
  uint8_t block[kPoiBlockSize] = {};
  size_t block_bytes = 0;
};

}  // namespace tessor
