#include "poi/poi_rules.h"

#include <cmath>

namespace tessor {

namespace {
constexpr float kMaxSpeed = 300.0f;

void MarkDuplicate(CPOI& poi, int32_t first) {
  if (first < 0) return;
  poi.status = Duplicate;
  poi.duplicateOf = first;
}

// AddPoi's steps with the search for the first duplicate left to find.
template <typename FindFirst>
bool AppendJudged(PoiList& list, CPOI* poi, FindFirst find_first) {
  if (poi == nullptr || list.size() >= kPoiListCapacity) return false;
  if (poi->status == Unchecked) {
    poi->status = Valid;
    MarkDuplicate(*poi, find_first(*poi));
  }
  list.push_back(poi);
  return true;
}
}  // namespace

double PointDistance(double lat1, double lon1, double lat2, double lon2) {
  const double dlon = lon2 - lon1;
  const double y = std::sin(dlon) * std::cos(lat2);
  const double x =
      std::cos(lat1) * std::sin(lat2) - std::sin(lat1) * std::cos(lat2) * std::cos(dlon);
  const double c =
      std::sin(lat1) * std::sin(lat2) + std::cos(lat1) * std::cos(lat2) * std::cos(dlon);
  const double s = std::sqrt(y * y + x * x);
  const double sigma = (std::fabs(s) > 1e-7 || std::fabs(c) > 1e-7) ? std::atan2(s, c) : 0.0;
  const double half = std::sin((lat1 + lat2) / 2.0);
  const double radius = kEarthRadiusMetres * (1.0 - kEarthFlattening * half * half);
  return radius * sigma;
}

bool IsWithinDuplicateDistance(const CPOI& poi, const CPOI& entry) {
  return PointDistance(poi.latitude, poi.longitude, entry.latitude, entry.longitude) <=
         kDuplicateMetres;
}

int32_t FindDuplicateByWalk(const PoiList& list, const CPOI& poi, size_t skip) {
  for (size_t i = 0; i < list.size(); ++i) {
    if (i == skip || list[i]->status != Valid) continue;
    if (IsWithinDuplicateDistance(poi, *list[i])) return static_cast<int32_t>(i);
  }
  return -1;
}

bool IsInsideCoverage(const DatabaseCoverage& coverage, float latitude, float longitude) {
  return coverage.min_longitude <= longitude && longitude <= coverage.max_longitude &&
         coverage.min_latitude <= latitude && latitude <= coverage.max_latitude;
}

bool AddPoi(PoiList& list, CPOI* poi) {
  return AppendJudged(list, poi,
                      [&list](const CPOI& p) { return FindDuplicateByWalk(list, p, list.size()); });
}

PoiListJudge::PoiListJudge(PoiList& list) : list_(list) {
  for (size_t i = 0; i < list_.size(); ++i) {
    if (list_[i]->status == Valid) grid_.Insert(static_cast<uint32_t>(i), *list_[i]);
  }
}

bool PoiListJudge::Add(CPOI* poi) {
  const bool added =
      AppendJudged(list_, poi, [this](const CPOI& p) { return grid_.FindFirst(list_, p); });
  if (added && poi->status == Valid) grid_.Insert(static_cast<uint32_t>(list_.size() - 1), *poi);
  return added;
}

void SetPoiPosition(PoiList& list, size_t index, int32_t status, double latitude,
                    double longitude) {
  if (index >= list.size()) return;
  CPOI& poi = *list[index];
  poi.status = status;
  poi.SetLatitude(latitude);
  poi.SetLongitude(longitude);
  if (status == OutOfCoverage) return;
  MarkDuplicate(poi, FindDuplicateByWalk(list, poi, index));
}

void SetPoiSpeed(PoiList& list, size_t index, float vmax) {
  if (index < list.size()) list[index]->vmax = vmax;
}

void SetPoiComment(PoiList& list, size_t index, std::string_view text) {
  if (index < list.size()) list[index]->SetComment(text);
}

size_t BuildPoiList(const CPOI* records, uint32_t count, const DatabaseCoverage& coverage,
                    std::vector<CPOI>& page_records, PoiList& list, const PoiProgressFn& progress) {
  page_records.assign(count, CPOI{});
  size_t left_out = 0;
  if (records == nullptr) return left_out;
  PoiListJudge judge(list);
  for (uint32_t i = count; i-- > 0;) {
    const CPOI& source = records[i];
    CPOI& poi = page_records[i];
    poi.SetLatitude(source.latitude * kRadToDeg);
    poi.SetLongitude(source.longitude * kRadToDeg);
    poi.type = source.type;
    if (source.direction <= 360) poi.direction = source.direction;
    poi.vmax = source.vmax;
    if (poi.vmax > kMaxSpeed) {
      poi.status = SpeedOutOfRange;
      continue;
    }
    poi.SetComment(source.comment());
    if (!IsInsideCoverage(coverage, poi.latitude, poi.longitude)) poi.status = OutOfCoverage;
    if (progress) progress(i, count);
    if (!judge.Add(&poi)) ++left_out;
  }
  return left_out;
}

std::string PoiLeftOutText(size_t left_out) {
  if (left_out == 0) return {};
  return "The POI list holds at most " + std::to_string(kPoiListCapacity) +
         " POIs: " + std::to_string(left_out) + (left_out == 1 ? " POI was" : " POIs were") +
         " left out.";
}

PoiSaveCount CountForSave(const PoiList& list, size_t speed_too_high, size_t beyond_list) {
  PoiSaveCount count;
  count.speed_too_high = speed_too_high;
  count.beyond_list = beyond_list;
  for (const CPOI* poi : list) {
    if (poi->status == Valid) ++count.valid;
    if (poi->status == OutOfCoverage) ++count.out_of_coverage;
    if (poi->status == Duplicate) ++count.duplicates;
  }
  return count;
}

namespace {
std::string Pois(size_t n) {
  return std::to_string(n) + (n == 1 ? " POI" : " POIs");
}

void AddLine(std::string& text, size_t n, const std::string& what) {
  if (n > 0) text += "\n" + std::to_string(n) + " " + what;
}
}  // namespace

std::string PoiDropQuestion(const PoiSaveCount& count) {
  const size_t dropped = count.dropped();
  if (dropped == 0) return {};
  std::string text = "Only the POIs marked \"" + std::string(kStatusOk) +
                     "\" are saved: " + Pois(dropped) + " of " +
                     std::to_string(count.valid + dropped) + " will be dropped from the POI file:";
  AddLine(text, count.out_of_coverage, "\"" + std::string(kStatusOutOfRange) + "\"");
  AddLine(text, count.duplicates, "\"" + std::string(kStatusDuplicate) + "...\"");
  AddLine(text, count.speed_too_high,
          "\"" + std::string(kStatusSpeed) + "\" (above " + std::to_string(int(kMaxSpeed)) +
              " km/h, not listed)");
  AddLine(text, count.beyond_list,
          "beyond the " + std::to_string(kPoiListCapacity) + " the list holds (not listed)");
  return text + "\nSave " + Pois(count.valid) + " and drop the others?";
}

std::string PoiSavedText(size_t saved, const std::string& path) {
  return Pois(saved) + (saved == 1 ? " was" : " were") + " saved in the POI file " + path + ".";
}

}  // namespace tessor
