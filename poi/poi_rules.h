#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "database/database_image.h"
#include "poi/poi.h"
#include "poi/poi_grid.h"

namespace tessor {

// A valid POI this close to an earlier valid one is its duplicate.
inline constexpr double kDuplicateMetres = 1000.0;
// The distance's earth: this radius at the equator, flattened towards the poles.
inline constexpr double kEarthRadiusMetres = 6378147.8;
inline constexpr double kEarthFlattening = 0.0033527794541675;

// Metres between two positions given in radians.
double PointDistance(double lat1, double lon1, double lat2, double lon2);
// Whether entry is within kDuplicateMetres of poi, measured from poi.
bool IsWithinDuplicateDistance(const CPOI& poi, const CPOI& entry);
// All four bounds inclusive; radians.
bool IsInsideCoverage(const DatabaseCoverage& coverage, float latitude, float longitude);

// The duplicate rule itself: the first valid entry (other than skip) within
// kDuplicateMetres of poi, or -1, found by walking the whole list.
int32_t FindDuplicateByWalk(const PoiList& list, const CPOI& poi, size_t skip);

// Appends with the duplicate rule; false when the list is full. Walks the list,
// which suits one POI; PoiListJudge appends many.
bool AddPoi(PoiList& list, CPOI* poi);

// AddPoi for POI after POI: the same verdicts, found through a grid of the
// list's valid entries. The list changes only through Add while it lives.
class PoiListJudge {
 public:
  explicit PoiListJudge(PoiList& list);
  bool Add(CPOI* poi);
  const PoiGrid& grid() const { return grid_; }

 private:
  PoiList& list_;
  PoiGrid grid_;
};

// Moves entry index (degrees) and re-judges only it.
void SetPoiPosition(PoiList& list, size_t index, int32_t status, double latitude, double longitude);
void SetPoiSpeed(PoiList& list, size_t index, float vmax);
void SetPoiComment(PoiList& list, size_t index, std::string_view text);

using PoiProgressFn = std::function<void(uint32_t index, uint32_t count)>;

// Judges freshly read records into page_records (one per record, last first)
// and appends the listed ones to list through a PoiListJudge; progress once
// per listed POI. Returns how many POIs were left out because the list was full.
size_t BuildPoiList(const CPOI* records, uint32_t count, const DatabaseCoverage& coverage,
                    std::vector<CPOI>& page_records, PoiList& list,
                    const PoiProgressFn& progress = {});

// What the user is told when BuildPoiList left POIs out; empty for none.
std::string PoiLeftOutText(size_t left_out);

// What a save of the valid POIs only keeps and drops of the loaded file.
struct PoiSaveCount {
  size_t valid = 0;
  size_t out_of_coverage = 0;
  size_t duplicates = 0;
  size_t speed_too_high = 0;  // in the file, never listed
  size_t beyond_list = 0;     // in the file, left out of a full list
  size_t dropped() const { return out_of_coverage + duplicates + speed_too_high + beyond_list; }
};

// Counts the listed entries by status; the unlisted ones are the caller's.
PoiSaveCount CountForSave(const PoiList& list, size_t speed_too_high, size_t beyond_list);
// The question before a save that drops POIs: how many and which; empty when none is dropped.
std::string PoiDropQuestion(const PoiSaveCount& count);
// What a save wrote and where.
std::string PoiSavedText(size_t saved, const std::string& path);

}  // namespace tessor
