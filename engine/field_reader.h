#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessor {

// Reads the comma-separated fields of an answer from a start position. Each
// reader moves past the comma that ends its field; a missing field reads as 0
// or empty. Numbers that overflow keep their low bits.
class FieldReader {
 public:
  FieldReader(std::string_view text, size_t start) : text_(text), pos_(start) {}

  // Digits 0-9 accumulate; every other character is ignored.
  uint32_t Unsigned();
  // As Unsigned; a "-" anywhere in the field makes the value negative.
  int32_t Signed();
  // Digits, an optional "-" and an optional "." (each later digit weighs a tenth).
  double Decimal();
  // Characters up to the end, "*" or ","; at most max_length are kept.
  std::string Text(size_t max_length = 1024);

  bool at_end() const { return pos_ >= text_.size(); }
  size_t position() const { return pos_; }

 private:
  uint32_t Digits(bool* negative);
  void SkipComma();

  std::string_view text_;
  size_t pos_;
};

// Parses leading decimal digits of a text as a number (0 when there are none);
// a leading "-" is honoured. Used where an answer carries a number as text.
long TextToLong(std::string_view text);
// The same for hexadecimal digits, either case.
unsigned long HexTextToULong(std::string_view text);

}  // namespace tessor
