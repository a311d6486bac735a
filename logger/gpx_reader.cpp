#include "logger/gpx_reader.h"

#include <optional>
#include <string>

#include "database/number_text.h"

namespace tessor {

namespace {

std::optional<double> Decimal(std::string_view text) {
  const std::string copy(text);
  const char* end = nullptr;
  const std::optional<double> value = LeadingNumber(copy.c_str(), &end);
  if (!value || end == copy.c_str()) return std::nullopt;
  return value;
}

// The value of name="..." or name='...' in a start tag.
std::optional<std::string_view> Attribute(std::string_view tag, std::string_view name) {
  for (size_t at = tag.find(name); at != std::string_view::npos; at = tag.find(name, at + 1)) {
    const bool starts = at > 0 && (tag[at - 1] == ' ' || tag[at - 1] == '\t' ||
                                   tag[at - 1] == '\n' || tag[at - 1] == '\r');
    size_t i = at + name.size();
    while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t')) ++i;
    if (!starts || i >= tag.size() || tag[i] != '=') continue;
    ++i;
    while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t')) ++i;
    if (i >= tag.size() || (tag[i] != '"' && tag[i] != '\'')) continue;
    const size_t close = tag.find(tag[i], i + 1);
    if (close == std::string_view::npos) return std::nullopt;
    return tag.substr(i + 1, close - i - 1);
  }
  return std::nullopt;
}

// The text of the first <name> element in body.
std::optional<std::string_view> Element(std::string_view body, std::string_view name) {
  const std::string open = "<" + std::string(name) + ">", close = "</" + std::string(name) + ">";
  const size_t start = body.find(open);
  if (start == std::string_view::npos) return std::nullopt;
  const size_t end = body.find(close, start);
  if (end == std::string_view::npos) return std::nullopt;
  return body.substr(start + open.size(), end - start - open.size());
}

int Digits(std::string_view text, size_t at, size_t count) {
  int value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// "YYYY-MM-DDThh:mm:ss" with any fraction and zone after it (taken as UTC).
void ReadTime(std::string_view text, TrackPoint* p) {
  const size_t at = text.find_first_not_of(" \t\r\n");
  if (at == std::string_view::npos) return;
  text.remove_prefix(at);
  const int year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
  const int hour = Digits(text, 11, 2), minute = Digits(text, 14, 2), second = Digits(text, 17, 2);
  if (year <= 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0) return;
  p->year = year, p->month = month, p->day = day;
  p->hour = hour, p->minute = minute, p->second = second;
}

std::optional<TrackPoint> Point(std::string_view tag, std::string_view body) {
  const auto lat = Attribute(tag, "lat"), lon = Attribute(tag, "lon");
  if (!lat || !lon) return std::nullopt;
  const std::optional<double> la = Decimal(*lat), lo = Decimal(*lon);
  if (!la || !lo) return std::nullopt;
  TrackPoint p;
  p.latitude = *la, p.longitude = *lo;
  if (const auto ele = Element(body, "ele")) p.altitude = Decimal(*ele);
  if (const auto time = Element(body, "time")) ReadTime(*time, &p);
  return p;
}

}  // namespace

std::vector<TrackPoint> ReadGpxTrack(std::string_view text) {
  std::vector<TrackPoint> points;
  for (size_t at = text.find("<trkpt"); at != std::string_view::npos;
       at = text.find("<trkpt", at + 1)) {
    const size_t tag_end = text.find('>', at);
    if (tag_end == std::string_view::npos) break;
    const std::string_view tag = text.substr(at + 6, tag_end - at - 6);
    if (!tag.empty() && tag[0] != ' ' && tag[0] != '\t' && tag[0] != '\n' && tag[0] != '\r' &&
        tag[0] != '/') {
      continue;  // <trkptx> and the like
    }
    std::string_view body;
    if (tag.empty() || tag.back() != '/') {
      const size_t close = text.find("</trkpt>", tag_end);
      body =
          text.substr(tag_end + 1, close == std::string_view::npos ? close : close - tag_end - 1);
    }
    if (std::optional<TrackPoint> p = Point(tag, body)) points.push_back(*p);
  }
  return points;
}

}  // namespace tessor
