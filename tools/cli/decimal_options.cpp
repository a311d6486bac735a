#include "tools/cli/decimal_options.h"

#include <charconv>

namespace tessor::cli {

std::optional<long long> ParseDecimal(const std::string& text) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  const bool negative = first != last && *first == '-';
  if (negative) ++first;
  // Digits only: no sign but a leading '-', no blanks, no base prefix.
  if (first == last) return std::nullopt;
  unsigned long long magnitude = 0;
  const auto [end, error] = std::from_chars(first, last, magnitude, 10);
  if (error != std::errc() || end != last || magnitude > 9223372036854775807ull) {
    return std::nullopt;
  }
  const auto value = static_cast<long long>(magnitude);
  return negative ? -value : value;
}

CLI::Validator DecimalRange(long long low, long long high) {
  const std::string range = std::to_string(low) + " to " + std::to_string(high);
  return CLI::Validator(
      [low, high, range](std::string& text) -> std::string {
        const auto value = ParseDecimal(text);
        if (!value || *value < low || *value > high) {
          return "'" + text + "' is not a decimal whole number from " + range;
        }
        return {};
      },
      "{" + std::to_string(low) + ".." + std::to_string(high) + "}");
}

namespace {

int DaysIn(int month, int year) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

CLI::Validator YyMmDdDate() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        const auto value = ParseDecimal(text);
        const bool digits = value && *value >= 0 && text.size() <= 6;
        const long long v = digits ? *value : 0;
        const int year = static_cast<int>(v / 10000), month = static_cast<int>(v / 100 % 100);
        const int day = static_cast<int>(v % 100);
        if (!digits || month < 1 || month > 12 || day < 1 || day > DaysIn(month, 2000 + year)) {
          return "'" + text + "' is not a date written YYMMDD (070314 is 14 March 2007)";
        }
        return {};
      },
      "YYMMDD");
}

}  // namespace tessor::cli
