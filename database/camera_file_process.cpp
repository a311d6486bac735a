#include "database/camera_file_process.h"

#include <algorithm>
#include <cstdlib>

#include "database/extract_field.h"
#include "engine/string_table.h"

namespace tessor {

const char* CCameraInfoFileProcess::ParseCameraFields(const char* line, CCameraInfo& record) {
  char field[200];
  const char* cursor = ExtractField(line, field);
  record.SetLatitude(std::clamp(std::strtod(field, nullptr), -90.0, 90.0));
  cursor = ExtractField(cursor, field);
  record.SetLongitude(std::clamp(std::strtod(field, nullptr), -180.0, 180.0));
  cursor = ExtractField(cursor, field);
  const auto direction = static_cast<uint16_t>(std::strtol(field, nullptr, 10));
  if (direction <= 360) record.direction = direction;
  cursor = ExtractField(cursor, field);
  record.vmax = static_cast<float>(std::strtod(field, nullptr));
  cursor = ExtractField(cursor, field);
  record.type = static_cast<uint16_t>(std::strtol(field, nullptr, 10));
  return cursor;
}

bool CCameraInfoFileProcess::ParseLine(const char* line) {
  if (line == nullptr) return false;
  if (parsed_count_ >= record_count_ || parsed_count_ >= cameras_.size()) return true;
  ParseCameraFields(line, cameras_[parsed_count_]);
  ++parsed_count_;
  return true;
}

bool CCameraInfoFileProcess::CountRecords() {
  const uint32_t lines = CountLines();
  if (lines < 2) return false;
  record_count_ = lines - 1;
  return true;
}

void CCameraInfoFileProcess::MakeRecords() {
  cameras_.assign(record_count_, CCameraInfo{});
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
  return RunLineLoop(512, true);
}

bool CCameraInfoFileProcess::GetCameras(std::vector<CCameraInfo>** cameras) {
  if (cameras == nullptr || !have_cameras_) return false;
  *cameras = &cameras_;
  return true;
}

}  // namespace tessor
