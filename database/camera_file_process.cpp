#include "database/camera_file_process.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "database/extract_field.h"
#include "database/number_text.h"
#include "engine/string_table.h"

namespace tessor {

namespace {
// A decimal field; only a finite number is taken.
bool FiniteField(const char* field, double& value) {
  const std::optional<double> number = LeadingNumber(field);
  if (!number || !std::isfinite(*number)) return false;
  value = *number;
  return true;
}
}  // namespace

bool CCameraInfoFileProcess::ParseCameraFields(const char* line, CCameraInfo& record,
                                               const char** rest) {
  char field[200];
  double latitude = 0.0, longitude = 0.0;
  const char* cursor = ExtractField(line, field);
  if (!FiniteField(field, latitude)) return false;
  cursor = ExtractField(cursor, field);
  if (!FiniteField(field, longitude)) return false;
  cursor = ExtractField(cursor, field);
  const auto direction = static_cast<uint16_t>(std::strtol(field, nullptr, 10));
  cursor = ExtractField(cursor, field);
  // An empty or unreadable speed reads as 0, as the C library would read it.
  const std::optional<double> speed = LeadingNumber(field);
  const float vmax = speed ? static_cast<float>(*speed) : 0.0f;
  if (!std::isfinite(vmax)) return false;
  cursor = ExtractField(cursor, field);
  record.SetLatitude(std::clamp(latitude, -90.0, 90.0));
  record.SetLongitude(std::clamp(longitude, -180.0, 180.0));
  if (direction <= 360) record.direction = direction;
  record.vmax = vmax;
  record.type = static_cast<uint16_t>(std::strtol(field, nullptr, 10));
  if (rest != nullptr) *rest = cursor;
  return true;
}

bool CCameraInfoFileProcess::ParseLine(const char* line) {
  if (line == nullptr) return false;
  CCameraInfo camera;
  if (!ParseCameraFields(line, camera)) {
    RefuseLine();
    return true;
  }
  cameras_.push_back(camera);
  ++parsed_count_;
  return true;
}

bool CCameraInfoFileProcess::CountRecords() {
  const uint32_t lines = CountTextLines();
  if (lines < 2) return false;
  record_count_ = lines - 1;
  return true;
}

void CCameraInfoFileProcess::MakeRecords() {
  cameras_.clear();
  cameras_.reserve(record_count_);
  have_cameras_ = true;
  parsed_count_ = 0;
}

bool CCameraInfoFileProcess::OpenAndRead(const std::string& path, int access, int disposition) {
  if (caption_.empty()) caption_ = LoadString(kStrCaption);
  record_count_ = 0;
  if (!ReadWholeFile(path, access, disposition)) return false;
  if (!CountRecords()) return false;
  MakeRecords();
  return ParseAllLines();
}

bool CCameraInfoFileProcess::LoadBuffer(const void* bytes, size_t length) {
  if (caption_.empty()) caption_ = LoadString(kStrCaption);
  const char* begin = static_cast<const char*>(bytes);
  data_.assign(begin, begin == nullptr ? begin : begin + length);
  record_count_ = 0;
  if (!CountRecords()) return false;
  MakeRecords();
  return ParseAllLines();
}

bool CCameraInfoFileProcess::ParseAllLines() {
  if (!CheckHeader()) return false;
  const bool ok = RunLineLoop(512, true);
  record_count_ = RecordsFilled();
  return ok;
}

bool CCameraInfoFileProcess::GetCameras(std::vector<CCameraInfo>** cameras) {
  if (cameras == nullptr || !have_cameras_) return false;
  *cameras = &cameras_;
  return true;
}

}  // namespace tessor
