#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/devsim/scenario.h"

namespace tessor::devsim {

inline constexpr size_t kDatabaseMemorySize = 2 * 1024 * 1024;
// Size the flash-usage answer measures the log against.
inline constexpr uint32_t kLogCapacity = 8 * 1024 * 1024;

struct TrackHeader {
  bool refused = false;
  uint32_t date = 0;
  int format = 0;
  uint32_t count = 0;
  uint32_t address = 0;
};

// One POI as the device stores it: longitude, latitude (radians), direction,
// type, speed limit; 16 bytes little-endian.
inline constexpr size_t kPoiRecordBytes = 16;

// The firmware's memories and settings, without any timing or line concerns.
class DeviceModel {
 public:
  explicit DeviceModel(const Scenario& scenario);

  // Database memory: erased reads 0xFF.
  bool ReadDatabase(uint32_t address, uint32_t count, std::vector<uint8_t>* out) const;
  bool WriteDatabase(uint32_t address, std::span<const uint8_t> bytes);
  void EraseDatabase();
  // From 0 to the highest uploaded byte or the initial image's end, whichever is further.
  std::vector<uint8_t> DatabaseDump() const;

  // Log memory: the tracks laid end to end from address 0.
  size_t track_count() const { return tracks_.size(); }
  const TrackHeader& track(size_t index) const { return tracks_[index]; }
  bool ReadLog(uint32_t address, uint32_t count, std::vector<uint8_t>* out) const;
  void EraseLog();
  const std::vector<uint8_t>& log() const { return log_; }

  std::array<uint32_t, 4> FlashUsage() const;
  const std::array<int64_t, kConfigCount>& config() const { return config_; }
  void SetConfig(size_t field_number, int64_t value) { config_[field_number - 1] = value; }

  size_t poi_count() const { return pois_.size() / kPoiRecordBytes; }
  std::span<const uint8_t> PoiRecords(size_t first, size_t count) const;

  const std::string& name() const { return name_; }
  int firmware() const { return firmware_; }
  int64_t capacity() const { return capacity_; }
  uint32_t battery() const { return battery_; }

  bool log_switch = true;
  bool nmea_switch = false;
  int link_mode = 2;
  int64_t stored_lat_e6 = 0;  // millionths of a degree, from 106
  int64_t stored_lon_e6 = 0;

 private:
  std::vector<uint8_t> database_;
  size_t initial_image_size_ = 0;
  size_t highest_written_ = 0;  // one past the highest uploaded byte
  std::vector<TrackHeader> tracks_;
  std::vector<uint8_t> log_;
  std::vector<uint8_t> pois_;
  std::array<int64_t, kConfigCount> config_;
  std::optional<std::array<uint32_t, 4>> flash_usage_;
  std::string name_;
  int firmware_;
  int64_t capacity_;
  uint32_t battery_;
};

}  // namespace tessor::devsim
