#include "database/mveld_file_process.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "database/extract_field.h"
#include "database/number_text.h"

namespace tessor {

bool CMVELDFileProcess::ParseLine(const char* line) {
  if (line == nullptr) return false;
  char field[200];
  const char* cursor = ExtractField(line, field);
  const std::optional<double> longitude = LeadingNumber(field);
  cursor = ExtractField(cursor, field);
  const std::optional<double> latitude = LeadingNumber(field);
  ExtractField(cursor, field);
  // A line without a finite position would become a camera at 0 degrees or "nan".
  if (!longitude || !latitude || !std::isfinite(*longitude) || !std::isfinite(*latitude)) {
    RefuseLine();
    return true;
  }
  output_ += FormatNumbers("%f, %f, 0, -1.0,0\r\n", std::clamp(*latitude, -90.0, 90.0),
                           std::clamp(*longitude, -180.0, 180.0));
  output_length_ = output_.size();
  return true;
}

}  // namespace tessor
