#include "tools/devsim/device_model.h"

#include <algorithm>
#include <cstring>

namespace tessor::devsim {

namespace {

// A few fixed POIs near the default drive, so that 114 has something to list.
std::vector<uint8_t> DefaultPois() {
  struct Poi {
    float lon, lat;
    uint16_t direction, type;
    float vmax;
  };
  const Poi pois[] = {{2.121677f, 0.436937f, 90, 1, 50.0f},
                      {2.121700f, 0.436950f, 180, 2, 60.0f},
                      {2.121720f, 0.436970f, 270, 1, -1.0f}};
  std::vector<uint8_t> out;
  for (const Poi& p : pois) {
    uint8_t record[kPoiRecordBytes];
    std::memcpy(record, &p.lon, 4);
    std::memcpy(record + 4, &p.lat, 4);
    std::memcpy(record + 8, &p.direction, 2);
    std::memcpy(record + 10, &p.type, 2);
    std::memcpy(record + 12, &p.vmax, 4);
    out.insert(out.end(), record, record + kPoiRecordBytes);
  }
  return out;
}

bool InRange(size_t address, size_t count, size_t size) {
  return address <= size && count <= size - address;
}

}  // namespace

DeviceModel::DeviceModel(const Scenario& s)
    : database_(std::max(kDatabaseMemorySize, s.database.size()), 0xFF),
      initial_image_size_(s.database.size()),
      pois_(DefaultPois()),
      config_(s.config),
      flash_usage_(s.flash_usage),
      name_(s.name),
      firmware_(s.firmware),
      capacity_(s.capacity),
      battery_(s.battery) {
  std::copy(s.database.begin(), s.database.end(), database_.begin());
  for (const TrackSource& t : s.tracks) {
    TrackHeader h;
    h.refused = t.refused;
    h.date = t.date;
    h.format = t.format;
    h.count = t.refused ? 0 : static_cast<uint32_t>(t.records.size() / RecordSize(t.format));
    h.address = static_cast<uint32_t>(log_.size());
    log_.insert(log_.end(), t.records.begin(), t.records.end());
    tracks_.push_back(h);
  }
  config_[7] = static_cast<int64_t>(tracks_.size());
  config_[12] = static_cast<int64_t>(poi_count());
}

bool DeviceModel::ReadDatabase(uint32_t address, uint32_t count, std::vector<uint8_t>* out) const {
  if (!InRange(address, count, database_.size())) return false;
  out->assign(database_.begin() + address, database_.begin() + address + count);
  return true;
}

bool DeviceModel::WriteDatabase(uint32_t address, std::span<const uint8_t> bytes) {
  if (!InRange(address, bytes.size(), database_.size())) return false;
  std::copy(bytes.begin(), bytes.end(), database_.begin() + address);
  highest_written_ = std::max(highest_written_, address + bytes.size());
  return true;
}

void DeviceModel::EraseDatabase() {
  std::fill(database_.begin(), database_.end(), 0xFF);
}

std::vector<uint8_t> DeviceModel::DatabaseDump() const {
  const size_t end = std::max(highest_written_, initial_image_size_);
  return std::vector<uint8_t>(database_.begin(), database_.begin() + end);
}

bool DeviceModel::ReadLog(uint32_t address, uint32_t count, std::vector<uint8_t>* out) const {
  if (!InRange(address, count, log_.size())) return false;
  out->assign(log_.begin() + address, log_.begin() + address + count);
  return true;
}

void DeviceModel::EraseLog() {
  log_.clear();
  tracks_.clear();
  config_[7] = 0;
  if (flash_usage_) (*flash_usage_)[3] = 0;
}

std::array<uint32_t, 4> DeviceModel::FlashUsage() const {
  if (flash_usage_) return *flash_usage_;
  // Wire order: bytes used, log size, tracks, percent used.
  const auto used = static_cast<uint32_t>(log_.size());
  return {used, kLogCapacity, static_cast<uint32_t>(tracks_.size()),
          static_cast<uint32_t>(uint64_t{used} * 100 / kLogCapacity)};
}

std::span<const uint8_t> DeviceModel::PoiRecords(size_t first, size_t count) const {
  if (first >= poi_count()) return {};
  count = std::min(count, poi_count() - first);
  return std::span<const uint8_t>(pois_).subspan(first * kPoiRecordBytes, count * kPoiRecordBytes);
}

}  // namespace tessor::devsim
