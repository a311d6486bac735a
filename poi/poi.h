#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "database/camera_info.h"

namespace tessor {

enum PoiStatus : int32_t {
  Unchecked = 0,
  Valid = 1,
  OutOfCoverage = 2,
  Duplicate = 3,
  SpeedOutOfRange = 4,
};

inline constexpr size_t kCommentBytes = 255;

// A user's point of interest: a camera record with a status and a comment.
class CPOI : public CCameraInfo {
 public:
  std::string_view comment() const { return comments; }
  // Keeps at most 255 bytes, never a part of a UTF-8 character.
  void SetComment(std::string_view text);

  int32_t status = Unchecked;
  int32_t duplicateOf = -1;
  char comments[kCommentBytes + 1] = {};
};

// The POI page's list: references into the page's records, at most 4096.
inline constexpr size_t kPoiListCapacity = 4096;
using PoiList = std::vector<CPOI*>;

inline constexpr const char* kPoiHeader = "Latitude,Longitude,direction,vmax,Type,Comments";
inline constexpr const char* kPoiFormatMessage =
    "File format is not correct!! Please check the POI file!!";
inline constexpr const char* kStatusOk = "OK";
inline constexpr const char* kStatusOutOfRange = "Out of VELD range";
inline constexpr const char* kStatusDuplicate = "Duplicated with No. ";
inline constexpr const char* kStatusSpeed = "Speed is out of range";
// Shown in the "Status" column while the cell editor holds a comment too long to store.
inline constexpr const char* kStatusCommentTooLong = "exceeded 255 characters";

// The text the POI page shows in its "Status" column.
std::string PoiStatusText(const CPOI& poi);

// The longest prefix of text within max_bytes that ends on a character boundary.
std::string_view TruncateUtf8(std::string_view text, size_t max_bytes);

}  // namespace tessor
