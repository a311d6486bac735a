#include "tools/cli/json_output.h"

#include <cmath>
#include <iostream>
#include <optional>

#include "database/number_text.h"
#include "tools/cli/cli_output.h"

namespace tessor::cli {

void AddJsonFlag(CLI::App* sub, bool* json) {
  sub->add_flag_function(
      "--json",
      [json](int64_t) {
        *json = true;
        SendStatusToStandardError();
      },
      "print one JSON document on standard output instead of the tab lines; status lines go "
      "to standard error");
}

void PrintJson(const Json& document) {
  std::cout << document.dump(2, ' ', false, Json::error_handler_t::replace) << '\n' << std::flush;
}

Json PrintedNumber(const std::string& text) {
  // JSON has no NaN or infinity: such a field is null.
  const std::optional<double> value = LeadingNumber(text.c_str());
  if (!value || !std::isfinite(*value)) return nullptr;
  return *value;
}

std::pair<std::string, Json> DegreeFields(const std::array<double, 4>& degrees) {
  std::string text;
  Json numbers = Json::array();
  for (const double value : degrees) {
    const std::string printed = FormatNumbers("%.6f", value);
    text += (text.empty() ? "" : ",") + printed;
    numbers.push_back(PrintedNumber(printed));
  }
  return {text, numbers};
}

Json TracksJson(const std::vector<TrackHeaderRecord>& headers) {
  Json tracks = Json::array();
  for (size_t i = 0; i < headers.size(); ++i) {
    const TrackHeaderRecord& h = headers[i];
    tracks.push_back({{"index", i},
                      {"date", FormatNumbers("%06u", h.header_value)},
                      {"format", h.record_format},
                      {"records", h.record_count},
                      {"valid", h.valid != 0}});
  }
  return {{"tracks", tracks}};
}

void KeyValueReport::Add(const std::string& key, const std::string& text) {
  Add(key, text, text);
}

void KeyValueReport::Add(const std::string& key, const std::string& text, Json value) {
  lines_.emplace_back(key, text);
  object_[key] = std::move(value);
}

void KeyValueReport::Print(bool json) const {
  if (json) {
    PrintJson(object_);
    return;
  }
  for (const auto& [key, text] : lines_) PrintStatus(key + "\t" + text);
}

}  // namespace tessor::cli
