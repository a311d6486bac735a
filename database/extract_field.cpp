#include "database/extract_field.h"

namespace tessor {

const char* ExtractField(const char* cursor, char* out, size_t out_size) {
  if (out == nullptr || out_size == 0) return nullptr;
  out[0] = '\0';
  if (cursor == nullptr || *cursor == '\0') return nullptr;
  size_t n = 0;
  while (*cursor != '\0' && *cursor != ',' && *cursor != '*') {
    if (n + 1 < out_size) out[n++] = *cursor;
    ++cursor;
  }
  out[n] = '\0';
  return *cursor == '\0' ? cursor : cursor + 1;
}

}  // namespace tessor
