#include "engine/field_reader.h"

namespace tessor {

void FieldReader::SkipComma() {
  if (pos_ < text_.size() && text_[pos_] == ',') ++pos_;
}

uint32_t FieldReader::Digits(bool* negative) {
  uint32_t value = 0;
  while (pos_ < text_.size() && text_[pos_] != ',') {
    const char c = text_[pos_++];
    if (c >= '0' && c <= '9') {
      value = value * 10u + static_cast<uint32_t>(c - '0');
    } else if (c == '-' && negative != nullptr) {
      *negative = true;
    }
  }
  SkipComma();
  return value;
}

uint32_t FieldReader::Unsigned() {
  return Digits(nullptr);
}

int32_t FieldReader::Signed() {
  bool negative = false;
  const uint32_t magnitude = Digits(&negative);
  return static_cast<int32_t>(negative ? 0u - magnitude : magnitude);
}

double FieldReader::Decimal() {
  double value = 0.0;
  double weight = 0.0;  // 0 until the point is seen
  bool negative = false;
  while (pos_ < text_.size() && text_[pos_] != ',') {
    const char c = text_[pos_++];
    if (c >= '0' && c <= '9') {
      if (weight == 0.0) {
        value = value * 10.0 + (c - '0');
      } else {
        value += (c - '0') * weight;
        weight /= 10.0;
      }
    } else if (c == '-') {
      negative = true;
    } else if (c == '.' && weight == 0.0) {
      weight = 0.1;
    }
  }
  SkipComma();
  return negative ? -value : value;
}

std::string FieldReader::Text(size_t max_length) {
  std::string out;
  while (pos_ < text_.size() && text_[pos_] != ',' && text_[pos_] != '*') {
    if (out.size() < max_length) out.push_back(text_[pos_]);
    ++pos_;
  }
  SkipComma();
  return out;
}

long TextToLong(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  unsigned long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10ul + static_cast<unsigned long>(text[i] - '0');
  }
  return static_cast<long>(negative ? 0ul - value : value);
}

unsigned long HexTextToULong(std::string_view text) {
  unsigned long value = 0;
  for (char c : text) {
    int v;
    if (c >= '0' && c <= '9') {
      v = c - '0';
    } else if (c >= 'A' && c <= 'F') {
      v = c - 'A' + 10;
    } else if (c >= 'a' && c <= 'f') {
      v = c - 'a' + 10;
    } else {
      break;
    }
    value = value * 16ul + static_cast<unsigned long>(v);
  }
  return value;
}

}  // namespace tessor
