#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace tessor {

// One logged point as the logger stores it, little-endian: a byte not
// interpreted, hour, minute, second (UTC), latitude and longitude in radians,
// then altitude (types 1, 2) and speed in km/h (type 2), all 32-bit floats.
struct LogRecord {
  uint8_t hour = 0, minute = 0, second = 0;
  float latitude = 0, longitude = 0;  // radians
  float altitude = 0;                 // metres
  float speed = 0;                    // km/h

  // Record sizes of the data types 0, 1 and 2; 0 for any other type.
  static size_t Size(int data_type) {
    return data_type == 0 ? 12 : data_type == 1 ? 16 : data_type == 2 ? 20 : 0;
  }

  // Reads one record of the type from at least Size(type) bytes.
  static LogRecord Read(const uint8_t* bytes, int data_type) {
    LogRecord r;
    r.hour = bytes[1];
    r.minute = bytes[2];
    r.second = bytes[3];
    r.latitude = FloatAt(bytes + 4);
    r.longitude = FloatAt(bytes + 8);
    if (data_type >= 1) r.altitude = FloatAt(bytes + 12);
    if (data_type >= 2) r.speed = FloatAt(bytes + 16);
    return r;
  }

  static float FloatAt(const uint8_t* p) {
    const uint32_t bits = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                          static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
};

}  // namespace tessor
