// The log-record conversion for each format: the whole track at once and the
// same bytes in pieces of whole records (as the download converts) must give
// the same lines, each framed with a correct checksum.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/framing.h"
#include "fuzz/fuzz_input.h"
#include "logger/log_record.h"
#include "logger/nmea_conversion.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

void CheckLine(std::string_view line) {
  Require(line.size() >= 6 && line.front() == '$' && line.substr(line.size() - 2) == "\r\n");
  const size_t star = line.rfind('*');
  Require(star != std::string_view::npos && star + 5 == line.size());
  char hex[3];
  std::snprintf(hex, sizeof hex, "%02X", tessor::SentenceChecksum(line.substr(0, star)));
  Require(line.substr(star + 1, 2) == hex);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tessor::fuzz::Input in(data, size);
  const int type = in.Byte() % 4;  // 3: a format the device does not have
  const uint32_t date = in.U32();
  const uint8_t piece_records = static_cast<uint8_t>(in.Byte() % 8 + 1);
  const auto bytes = in.Rest();

  std::string whole, whole_status;
  const tessor::ConversionResult a = tessor::ConvertRecords(
      date, type, bytes,
      [&](std::string_view l) {
        CheckLine(l);
        whole.append(l);
      },
      [&](const std::string& s) { whole_status += s + "\n"; });

  std::string pieces, pieces_status;
  tessor::NmeaTrackConverter converter(
      date, type, [&](std::string_view l) { pieces.append(l); },
      [&](const std::string& s) { pieces_status += s + "\n"; });
  const size_t record = tessor::LogRecord::Size(type);
  const size_t step = record == 0 ? bytes.size() + 1 : record * piece_records;
  for (size_t at = 0; at < bytes.size(); at += step) {
    converter.Convert(bytes.subspan(at, std::min(step, bytes.size() - at)));
  }
  const tessor::ConversionResult b = converter.Finish();
  Require(whole == pieces && whole_status == pieces_status);
  Require(a.records == b.records && a.errors == b.errors && a.points == b.points);
  Require(a.points <= a.records);
  if (record != 0) Require(a.records == static_cast<long>(bytes.size() / record));
  return 0;
}
