#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace tessor {

class CDeviceEngine;

struct ConversionResult {
  long records = 0;  // whole records in the bytes
  long errors = 0;
  long points = 0;  // records written as a GGA and RMC pair
};

using LineSink = std::function<void(std::string_view)>;
using StatusSink = std::function<void(const std::string&)>;

// Converts one track, possibly in pieces of whole records: the date and the
// record numbering carry over from one piece to the next.
class NmeaTrackConverter {
 public:
  NmeaTrackConverter(uint32_t start_date, int data_type, LineSink write, StatusSink status);
  void Convert(std::span<const uint8_t> bytes);
  // Adds the summary line; returns the counts.
  ConversionResult Finish();

 private:
  void ConvertRecord(const uint8_t* bytes);

  int data_type_;
  LineSink write_;
  StatusSink status_;
  ConversionResult result_;
  int day_, month_, year_;
  long previous_ = 0;
  bool first_seen_ = false;
};

// Converts a track's raw records into framed "$GPGGA" and "$GPRMC" lines.
// `write` receives each framed line (CR LF included), `status` each error line
// and the summary. The date starts at the header value YYMMDD and rolls over at
// midnight. A data type other than 0, 1 or 2 converts nothing and reports nothing.
ConversionResult ConvertRecords(uint32_t start_date, int data_type, std::span<const uint8_t> bytes,
                                const LineSink& write, const StatusSink& status);

// The engine's form: converts the track byte counter's worth of the buffer into
// the open file and reports through the engine's status lines. Returns 0.
int ConvertTrackToNmea(uint32_t start_date, std::FILE* file, CDeviceEngine& engine, int data_type,
                       const uint8_t* buffer);

}  // namespace tessor
