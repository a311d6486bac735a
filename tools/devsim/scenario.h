#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tessor::devsim {

// A path that a generated track (and the GPS-mouse stream) follows.
struct DrivePlan {
  uint32_t points = 0;
  uint32_t start_s = 0;  // time of day of the first point, seconds after midnight
  double lat = 25.0345;  // degrees
  double lon = 121.5644;
  uint32_t step_s = 1;
};

struct TrackSource {
  bool refused = false;  // the header query is answered "$LOG101,0"
  uint32_t date = 0;     // YYMMDD
  int format = 2;        // 0, 1, 2: records of 12, 16, 20 bytes
  std::vector<uint8_t> records;
};

// Answer a command with a busy report, or with nothing, this many times.
struct CommandFault {
  int command = 0;
  uint32_t times = 0;
};

// Answer the listed requests of a command (numbered from 1 per command over
// the whole run) that much later.
struct LateFault {
  int command = 0;
  std::vector<uint32_t> requests;
  uint32_t delay_ms = 0;
};

struct Faults {
  std::vector<CommandFault> busy;
  std::vector<CommandFault> silent;
  std::vector<uint32_t> bad_ack_xor;
  uint32_t corrupt_checksum_every = 0;
  std::optional<uint32_t> stop_blocks_after;
  std::vector<uint32_t> stop_blocks_requests;  // empty: every request
  std::vector<uint32_t> refuse_requests;
  std::optional<uint32_t> vanish_after_ms;
  std::optional<uint32_t> vanish_after_bytes;
  uint32_t binary_protocol_pairs = 0;
  uint32_t garbage_between_sentences = 0;
  std::vector<LateFault> late;
  bool not_busy_reports = false;  // "$LOG000,0" before each setting or query answer
};

// How the checksum of a "$LOG102" data block is counted: every byte after the
// first "$", or every byte but those equal to "$" (as text sentences are framed).
enum class BlockChecksum { kAll, kSkipDollar };

// Sent bytes leave in pieces of `bytes`, with `gap_ms` between pieces.
struct Chunk {
  uint32_t bytes = 16;
  uint32_t gap_ms = 30;
};

// Behaviour the protocol leaves open, in which real firmware may differ.
struct Variant {
  BlockChecksum block_checksum = BlockChecksum::kAll;
  // 999 acted on only in mode 1, 102 only in mode 3, 115 only in mode 2 or 3.
  bool strict_modes = false;
  uint32_t latency_ms = 0;  // every answer leaves this long after its command arrived
  std::optional<Chunk> chunk;
  uint32_t unsolicited_nmea_ms = 0;  // a "$GPGGA"/"$GPRMC" pair this often, 0 never
};

inline constexpr size_t kConfigCount = 14;

struct Scenario {
  std::string name = "DevSim Logger";
  int firmware = 209;
  int64_t capacity = 2097152;
  uint32_t battery = 1;
  std::optional<std::array<uint32_t, 4>> flash_usage;  // wire order; computed when absent
  // Wire order: data type, position value, memory-full option, log type, interval,
  // value 6, speed filter, track count (always the tracks listed), values 9 to 14
  // (10 maximum POIs, 11 critical range, 12 notification range, 13 POI count, 14 COG).
  std::array<int64_t, kConfigCount> config = {2, 0, 1, 0, 5, 0, 0, 0, 0, 4096, 300, 800, 0, 40};
  std::vector<uint8_t> database;  // image held at start
  std::vector<TrackSource> tracks;
  uint32_t erase_reports_ms = 1500;
  Faults faults;
  Variant variant;
};

// Record size of a log record format, 0 for an unknown format.
size_t RecordSize(int format);

// Reads a scenario file; relative paths inside it are taken from its folder.
// Throws std::runtime_error with a readable message on any error.
Scenario LoadScenario(const std::filesystem::path& path);
Scenario ParseScenario(const std::string& json_text, const std::filesystem::path& base_dir);

}  // namespace tessor::devsim
