#include "tools/devsim/scenario.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "tools/devsim/track_generator.h"

namespace tessor::devsim {

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error("scenario: " + what);
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail("cannot read " + path.string());
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t ParseTimeOfDay(const std::string& text) {
  unsigned h = 0, m = 0, s = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%u:%u:%u%c", &h, &m, &s, &tail) != 3 || h > 23 || m > 59 ||
      s > 59) {
    Fail("bad time of day \"" + text + "\"");
  }
  return h * 3600 + m * 60 + s;
}

DrivePlan ParseGenerate(const json& g) {
  DrivePlan plan;
  plan.points = g.value("points", 0u);
  if (g.contains("start")) plan.start_s = ParseTimeOfDay(g.at("start").get<std::string>());
  plan.lat = g.value("lat", plan.lat);
  plan.lon = g.value("lon", plan.lon);
  plan.step_s = g.value("step_s", plan.step_s);
  return plan;
}

TrackSource ParseTrack(const json& t, const fs::path& base) {
  TrackSource track;
  track.refused = t.value("refused", false);
  if (track.refused) return track;
  track.date = t.value("date", 0u);
  track.format = t.value("format", 2);
  if (RecordSize(track.format) == 0) Fail("track format must be 0, 1 or 2");
  if (t.contains("records")) {
    track.records = ReadFile(base / t.at("records").get<std::string>());
  } else if (t.contains("generate")) {
    track.records = GenerateTrack(ParseGenerate(t.at("generate")), track.format);
  }
  // Only whole records make up a track.
  track.records.resize(track.records.size() / RecordSize(track.format) * RecordSize(track.format));
  return track;
}

// "busy" and "silent" take one {"command", "times"} object or a list of them.
std::vector<CommandFault> ParseCommandFaults(const json& j) {
  std::vector<CommandFault> out;
  const auto one = [&out](const json& f) {
    out.push_back({f.at("command").get<int>(), f.value("times", 1u)});
  };
  if (j.is_array()) {
    for (const json& f : j) one(f);
  } else {
    one(j);
  }
  return out;
}

// "late" takes one object or a list of them.
std::vector<LateFault> ParseLateFaults(const json& j) {
  std::vector<LateFault> out;
  const auto one = [&out](const json& f) {
    out.push_back({f.at("command").get<int>(), f.at("requests").get<std::vector<uint32_t>>(),
                   f.at("delay_ms").get<uint32_t>()});
  };
  if (j.is_array()) {
    for (const json& f : j) one(f);
  } else {
    one(j);
  }
  return out;
}

Faults ParseFaults(const json& f) {
  Faults faults;
  if (f.contains("busy")) faults.busy = ParseCommandFaults(f.at("busy"));
  if (f.contains("silent")) faults.silent = ParseCommandFaults(f.at("silent"));
  faults.bad_ack_xor = f.value("bad_ack_xor", faults.bad_ack_xor);
  faults.corrupt_checksum_every = f.value("corrupt_checksum_every", 0u);
  if (f.contains("stop_blocks_after")) faults.stop_blocks_after = f.at("stop_blocks_after");
  faults.stop_blocks_requests = f.value("stop_blocks_requests", faults.stop_blocks_requests);
  faults.refuse_requests = f.value("refuse_requests", faults.refuse_requests);
  if (f.contains("vanish_after_ms")) faults.vanish_after_ms = f.at("vanish_after_ms");
  if (f.contains("vanish_after_bytes")) faults.vanish_after_bytes = f.at("vanish_after_bytes");
  faults.binary_protocol_pairs = f.value("binary_protocol_pairs", 0u);
  faults.garbage_between_sentences = f.value("garbage_between_sentences", 0u);
  if (f.contains("late")) faults.late = ParseLateFaults(f.at("late"));
  faults.not_busy_reports = f.value("not_busy_reports", false);
  return faults;
}

void OnlyMembers(const json& j, std::initializer_list<std::string_view> known,
                 const std::string& what) {
  for (const auto& item : j.items()) {
    if (std::find(known.begin(), known.end(), item.key()) == known.end()) {
      Fail(what + " has no member \"" + item.key() + "\"");
    }
  }
}

// A count of milliseconds or bytes: a whole number, not negative.
uint32_t Count(const json& j, const char* member, const char* what = "variant") {
  if (!j.contains(member)) return 0;
  const json& v = j.at(member);
  if (!v.is_number_unsigned() || v.get<uint64_t>() > UINT32_MAX) {
    Fail(std::string(what) + " " + member + " must be a whole number of at least 0, not " +
         v.dump());
  }
  return v.get<uint32_t>();
}

BlockChecksum ParseBlockChecksum(const json& v) {
  if (v == "all") return BlockChecksum::kAll;
  if (v == "skip_dollar") return BlockChecksum::kSkipDollar;
  Fail("variant block_checksum must be \"all\" or \"skip_dollar\", not " + v.dump());
}

// 0 (whole writes) or {"bytes": N, "gap_ms": M} with N at least 1.
std::optional<Chunk> ParseChunk(const json& v) {
  if (v == 0) return std::nullopt;
  if (!v.is_object()) Fail("variant chunk must be 0 or {\"bytes\": N, \"gap_ms\": M}");
  OnlyMembers(v, {"bytes", "gap_ms"}, "variant chunk");
  const Chunk chunk{Count(v, "bytes", "variant chunk"), Count(v, "gap_ms", "variant chunk")};
  if (chunk.bytes == 0) Fail("variant chunk bytes must be at least 1");
  return chunk;
}

// A misspelt member would leave a variant silently at its default, so any
// member not known is an error.
Variant ParseVariant(const json& v) {
  if (!v.is_object()) Fail("variant must be an object");
  OnlyMembers(v, {"block_checksum", "strict_modes", "latency_ms", "chunk", "unsolicited_nmea_ms"},
              "variant");
  Variant variant;
  if (v.contains("block_checksum"))
    variant.block_checksum = ParseBlockChecksum(v.at("block_checksum"));
  if (v.contains("strict_modes")) {
    if (!v.at("strict_modes").is_boolean()) Fail("variant strict_modes must be true or false");
    variant.strict_modes = v.at("strict_modes").get<bool>();
  }
  variant.latency_ms = Count(v, "latency_ms");
  if (v.contains("chunk")) variant.chunk = ParseChunk(v.at("chunk"));
  variant.unsolicited_nmea_ms = Count(v, "unsolicited_nmea_ms");
  return variant;
}

void ParseMembers(const json& j, const fs::path& base, Scenario& s) {
  s.name = j.value("name", s.name);
  s.firmware = j.value("firmware", s.firmware);
  s.capacity = j.value("capacity", s.capacity);
  s.battery = j.value("battery", s.battery);
  if (j.contains("flash_usage")) s.flash_usage = j.at("flash_usage").get<std::array<uint32_t, 4>>();
  if (j.contains("config")) s.config = j.at("config").get<std::array<int64_t, kConfigCount>>();
  if (j.contains("database")) s.database = ReadFile(base / j.at("database").get<std::string>());
  if (j.contains("tracks")) {
    for (const json& t : j.at("tracks")) s.tracks.push_back(ParseTrack(t, base));
  }
  s.erase_reports_ms = j.value("erase_reports_ms", s.erase_reports_ms);
  if (j.contains("faults")) s.faults = ParseFaults(j.at("faults"));
  if (j.contains("variant")) s.variant = ParseVariant(j.at("variant"));
}

}  // namespace

size_t RecordSize(int format) {
  switch (format) {
    case 0:
      return 12;
    case 1:
      return 16;
    case 2:
      return 20;
    default:
      return 0;
  }
}

Scenario ParseScenario(const std::string& json_text, const fs::path& base_dir) {
  Scenario s;
  try {
    const json j = json::parse(json_text);
    if (!j.is_object()) Fail("the file must hold one JSON object");
    ParseMembers(j, base_dir, s);
  } catch (const json::exception& e) {
    Fail(e.what());
  }
  return s;
}

Scenario LoadScenario(const fs::path& path) {
  const std::vector<uint8_t> bytes = ReadFile(path);
  return ParseScenario(std::string(bytes.begin(), bytes.end()), path.parent_path());
}

}  // namespace tessor::devsim
