#pragma once

#include <CLI/CLI.hpp>
#include <array>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine_fields.h"

namespace tessor::cli {

using Json = nlohmann::ordered_json;

// Registers --json on a subcommand: given, the subcommand prints one JSON
// document on standard output and its status lines go to standard error.
void AddJsonFlag(CLI::App* sub, bool* json);

// One JSON document on standard output; bytes that are no UTF-8 become U+FFFD
// rather than ending the run.
void PrintJson(const Json& document);

// The number a printed decimal text stands for, so that the JSON and the tab
// lines of one run always agree; null for a text that is no finite number.
Json PrintedNumber(const std::string& text);

// Four degrees as "%.6f" texts joined by commas, and as the numbers those say.
std::pair<std::string, Json> DegreeFields(const std::array<double, 4>& degrees);

// The track table as {"tracks": [{"index", "date", "format", "records", "valid"}]}.
Json TracksJson(const std::vector<TrackHeaderRecord>& headers);

// key<TAB>value lines, or one JSON object with the same keys in the same order.
class KeyValueReport {
 public:
  void Add(const std::string& key, const std::string& text);
  void Add(const std::string& key, const std::string& text, Json value);
  void Print(bool json) const;

 private:
  std::vector<std::pair<std::string, std::string>> lines_;
  Json object_ = Json::object();
};

}  // namespace tessor::cli
