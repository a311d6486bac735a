#pragma once

// Numbers in files, pages, sentences and tool output are written and read
// with a point for the decimal mark whatever locale the process runs in: the
// desktop program takes the user's locale, and a comma there would break every
// format the program writes and misread every file it reads.

#include <locale.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace tessor {

// The "C" locale as an object, made once and kept for the life of the process.
inline locale_t ClassicLocale() {
  static const locale_t classic = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return classic;
}

// printf formatting in the "C" locale. Switches only the calling thread's
// locale, and only for the call.
inline std::string FormatNumbers(const char* format, ...) __attribute__((format(printf, 1, 2)));
inline std::string FormatNumbers(const char* format, ...) {
  const locale_t previous = uselocale(ClassicLocale());
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  uselocale(previous);
  return text;
}

// The decimal number at the start of text as the C library reads it in the
// "C" locale: leading blanks skipped, stopping at the first character that
// does not fit. Nothing when no number starts there; *end (if given) is where
// the number ended. The value may be infinite or NaN: callers decide.
inline std::optional<double> LeadingNumber(const char* text, const char** end = nullptr) {
  if (text == nullptr) return std::nullopt;
  char* stop = nullptr;
  const double value = strtod_l(text, &stop, ClassicLocale());
  if (end != nullptr) *end = stop;
  if (stop == text) return std::nullopt;
  return value;
}

}  // namespace tessor
