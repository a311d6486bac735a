#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "database/database_image.h"
#include "poi/poi.h"

namespace tessor {

// Metres between two positions given in radians.
double PointDistance(double lat1, double lon1, double lat2, double lon2);
// All four bounds inclusive; radians.
bool IsInsideCoverage(const DatabaseCoverage& coverage, float latitude, float longitude);

// Appends with the duplicate rule; false when the list is full.
bool AddPoi(PoiList& list, CPOI* poi);
// Moves entry index (degrees) and re-judges only it.
void SetPoiPosition(PoiList& list, size_t index, int32_t status, double latitude, double longitude);
void SetPoiSpeed(PoiList& list, size_t index, float vmax);
void SetPoiComment(PoiList& list, size_t index, std::string_view text);

using PoiProgressFn = std::function<void(uint32_t index, uint32_t count)>;

// Judges freshly read records into page_records (one per record, last first)
// and appends the listed ones to list; progress once per listed POI. Returns
// how many POIs were left out because the list was full.
size_t BuildPoiList(const CPOI* records, uint32_t count, const DatabaseCoverage& coverage,
                    std::vector<CPOI>& page_records, PoiList& list,
                    const PoiProgressFn& progress = {});

// What the user is told when BuildPoiList left POIs out; empty for none.
std::string PoiLeftOutText(size_t left_out);

}  // namespace tessor
