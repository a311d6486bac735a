#pragma once

#include <cstddef>

namespace tessor {

// Copies the field at the cursor, up to a comma, an asterisk or the end of the
// text, into out (at most out_size - 1 characters; a longer field is cut) and
// terminates it. Returns the position after the delimiter, the end of the text
// when the field ran to it, or nullptr for a missing cursor or an empty text.
const char* ExtractField(const char* cursor, char* out, size_t out_size);

template <size_t N>
const char* ExtractField(const char* cursor, char (&out)[N]) {
  return ExtractField(cursor, out, N);
}

}  // namespace tessor
