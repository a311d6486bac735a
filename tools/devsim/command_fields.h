#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "tools/devsim/command_parser.h"

namespace tessor::devsim {

// Exactly `n` integer fields, or false: such a command gets no answer.
inline bool Integers(const HostCommand& c, size_t n, int64_t* out) {
  if (c.fields.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    const auto v = ParseInteger(c.fields[i]);
    if (!v) return false;
    out[i] = *v;
  }
  return true;
}

// A short answer text built with printf rules.
template <typename... Args>
std::string Format(const char* format, Args... args) {
  char text[160];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

}  // namespace tessor::devsim
