// Converts a 9 MiB track of 20-byte records into NMEA and, for scale, has
// gpsbabel write the same points as NMEA from a unicsv file.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "logger/nmea_conversion.h"

using namespace tessor;
using Clock = std::chrono::steady_clock;

int main() {
  const size_t count = 9u * 1024 * 1024 / 20;
  std::vector<uint8_t> bytes(count * 20, 0);
  std::string csv = "No,Latitude,Longitude,Altitude,Speed,Date,Time\n";
  for (size_t i = 0; i < count; ++i) {
    uint8_t* r = &bytes[i * 20];
    const int t = static_cast<int>(i % 86400);
    r[1] = static_cast<uint8_t>(t / 3600), r[2] = static_cast<uint8_t>(t / 60 % 60);
    r[3] = static_cast<uint8_t>(t % 60);
    const float lat = 0.4369f + 1e-8f * static_cast<float>(i), lon = -1.3855f, alt = 80, speed = 50;
    std::memcpy(r + 4, &lat, 4), std::memcpy(r + 8, &lon, 4);
    std::memcpy(r + 12, &alt, 4), std::memcpy(r + 16, &speed, 4);
    char line[160];
    std::snprintf(line, sizeof line, "%zu,%.6f,%.6f,80.0,13.9,2007/03/14,%02d:%02d:%02d\n", i + 1,
                  lat * 57.29578, lon * 57.29578, t / 3600, t / 60 % 60, t % 60);
    csv += line;
  }
  FILE* out = std::fopen("/tmp/tessor-conversion-bench.nmea", "wb");
  const auto start = Clock::now();
  const ConversionResult r = ConvertRecords(
      70314, 2, bytes, [out](std::string_view l) { std::fwrite(l.data(), 1, l.size(), out); },
      [](const std::string&) {});
  std::fclose(out);
  const double ours = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("ours:     %ld records in %.3f s  (%.0f records/s)\n", r.records, ours,
              r.records / ours);

  FILE* in = std::fopen("/tmp/tessor-conversion-bench.csv", "wb");
  std::fwrite(csv.data(), 1, csv.size(), in);
  std::fclose(in);
  const auto babel_start = Clock::now();
  const int status = std::system(
      "gpsbabel -t -i unicsv -f /tmp/tessor-conversion-bench.csv -o nmea "
      "-F /tmp/tessor-conversion-bench-babel.nmea");
  const double babel = std::chrono::duration<double>(Clock::now() - babel_start).count();
  if (status == 0) {
    std::printf("gpsbabel: %zu points in %.3f s  (%.0f points/s)\n", count, babel, count / babel);
    std::printf("ratio gpsbabel time / ours: %.1f\n", babel / ours);
  } else {
    std::printf("gpsbabel did not run\n");
  }
  std::remove("/tmp/tessor-conversion-bench.nmea");
  std::remove("/tmp/tessor-conversion-bench.csv");
  std::remove("/tmp/tessor-conversion-bench-babel.nmea");
  return 0;
}
