#pragma once

// Whole-number options read in decimal. CLI11 on its own reads a leading zero
// as octal ("010" is 8, "080314" is refused) and an empty text as 0, and
// every date of 2000-2009 starts with a zero.

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

namespace tessor::cli {

// The value of a decimal whole number (digits after an optional '-'), or nothing.
std::optional<long long> ParseDecimal(const std::string& text);

// Refuses what is not a decimal whole number from low to high, naming the range.
CLI::Validator DecimalRange(long long low, long long high);

// Refuses what is not a real date written YYMMDD (2000-2099); the leading zero
// of 2000-2009 may be left out.
CLI::Validator YyMmDdDate();

// An option whose text the check has accepted as a decimal number.
template <typename T>
CLI::Option* AddDecimal(CLI::App* sub, const std::string& name, T* target, const std::string& help,
                        const CLI::Validator& check) {
  return sub
      ->add_option_function<std::string>(
          name,
          [target](const std::string& text) { *target = static_cast<T>(*ParseDecimal(text)); },
          help)
      ->type_name("NUMBER")
      ->check(check);
}

// The same for an option that may be given several times.
template <typename T>
CLI::Option* AddDecimals(CLI::App* sub, const std::string& name, std::vector<T>* target,
                         const std::string& help, const CLI::Validator& check) {
  return sub
      ->add_option_function<std::vector<std::string>>(
          name,
          [target](const std::vector<std::string>& texts) {
            target->clear();
            for (const std::string& text : texts)
              target->push_back(static_cast<T>(*ParseDecimal(text)));
          },
          help)
      ->type_name("NUMBER")
      ->check(check);
}

}  // namespace tessor::cli
