#include "database/mveld_file_process.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "database/extract_field.h"

namespace tessor {

bool CMVELDFileProcess::ParseLine(const char* line) {
  if (line == nullptr) return false;
  char field[200];
  const char* cursor = ExtractField(line, field);
  const double longitude = std::clamp(std::strtod(field, nullptr), -180.0, 180.0);
  cursor = ExtractField(cursor, field);
  const double latitude = std::clamp(std::strtod(field, nullptr), -90.0, 90.0);
  ExtractField(cursor, field);
  char text[128];
  const int n = std::snprintf(text, sizeof text, "%f, %f, 0, -1.0,0\r\n", latitude, longitude);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof text) return false;
  output_.append(text, static_cast<size_t>(n));
  output_length_ = output_.size();
  return true;
}

}  // namespace tessor
