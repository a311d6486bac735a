#include "tools/devsim/nmea_stream.h"

#include <cmath>
#include <cstdio>

#include "database/number_text.h"
#include "tools/devsim/answers.h"

namespace tessor::devsim {

namespace {

// "ddmm.mmmm" (or "dddmm.mmmm") and its hemisphere letter.
std::string Coordinate(double degrees, int degree_digits, char positive, char negative) {
  const double a = std::fabs(degrees);
  const int whole = static_cast<int>(a);
  return FormatNumbers("%0*d%07.4f,%c", degree_digits, whole, (a - whole) * 60.0,
                       degrees < 0 ? negative : positive);
}

}  // namespace

std::vector<std::string> PositionSentences(const PathPoint& p, std::time_t utc) {
  std::tm t{};
  gmtime_r(&utc, &t);
  char clock[32], date[32];
  std::snprintf(clock, sizeof clock, "%02d%02d%02d.000", t.tm_hour, t.tm_min, t.tm_sec);
  std::snprintf(date, sizeof date, "%02d%02d%02d", t.tm_mday, t.tm_mon + 1, t.tm_year % 100);
  const std::string lat = Coordinate(p.lat_deg, 2, 'N', 'S');
  const std::string lon = Coordinate(p.lon_deg, 3, 'E', 'W');
  std::vector<std::string> out;
  out.push_back(TextAnswer(FormatNumbers("$GPGGA,%s,%s,%s,1,04,1.0,%.1f,M,0.0,M,,0000", clock,
                                         lat.c_str(), lon.c_str(), p.altitude_m)));
  out.push_back(TextAnswer("$GPGSA,A,3,03,07,16,22,,,,,,,,,1.8,1.0,1.5"));
  out.push_back(TextAnswer("$GPGSV,1,1,04,03,61,045,44,07,38,123,41,16,22,278,39,22,15,310,36"));
  out.push_back(TextAnswer(FormatNumbers("$GPRMC,%s,A,%s,%s,%.2f,%.2f,%s,,,A", clock, lat.c_str(),
                                         lon.c_str(), p.speed_kmh / 1.852, p.course_deg, date)));
  return out;
}

}  // namespace tessor::devsim
