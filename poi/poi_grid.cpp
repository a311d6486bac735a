#include "poi/poi_grid.h"

#include <algorithm>
#include <cmath>

#include "poi/poi_rules.h"

namespace tessor {

namespace {
constexpr double kPi = 3.14159265358979323846;

// The largest central angle a match can span: the duplicate distance on the
// smallest radius the distance formula uses (at the poles), widened by 1 % so
// that rounding never puts a match outside the cells searched.
const double kMatchAngle =
    1.01 * kDuplicateMetres / (kEarthRadiusMetres * (1.0 - kEarthFlattening));
// Whole columns around the globe, each at least a match angle wide.
const int64_t kColumns = static_cast<int64_t>(std::floor(2.0 * kPi / kMatchAngle));
const double kCell = 2.0 * kPi / static_cast<double>(kColumns);
// Beyond this latitude a POI's neighbourhood spans too many columns (and
// within a match angle of the pole, all of them): the list is walked instead.
const double kGridLatitude = (90.0 - 1.0) * kPi / 180.0;

int64_t Row(double latitude) {
  return static_cast<int64_t>(std::floor((latitude + kPi / 2.0) / kCell));
}

int64_t Column(double longitude) {
  return static_cast<int64_t>(std::floor((longitude + kPi) / kCell));
}

int64_t Key(int64_t row, int64_t column) {
  const int64_t wrapped = ((column % kColumns) + kColumns) % kColumns;  // across 180 degrees
  return row * kColumns + wrapped;
}

// Cells file only positions whose stored latitude is the true one: the distance
// formula takes a latitude beyond a pole as a point over it, on the other side.
bool Placeable(double latitude, double longitude) {
  return std::isfinite(latitude) && std::isfinite(longitude) && std::fabs(latitude) <= kPi / 2.0 &&
         std::fabs(longitude) <= 2.0 * kPi;
}
}  // namespace

double PoiGrid::CellAngle() {
  return kCell;
}

void PoiGrid::Insert(uint32_t index, const CPOI& entry) {
  all_.push_back(index);
  if (!Placeable(entry.latitude, entry.longitude)) {
    unplaced_.push_back(index);
    return;
  }
  cells_[Key(Row(entry.latitude), Column(entry.longitude))].push_back(index);
}

int32_t PoiGrid::FirstIn(const std::vector<uint32_t>& indices, const PoiList& list, const CPOI& poi,
                         int32_t best) const {
  for (const uint32_t index : indices) {
    if (best >= 0 && index >= static_cast<uint32_t>(best)) break;  // filed in ascending order
    const CPOI& entry = *list[index];
    if (entry.status != Valid) continue;
    ++distances_;
    if (IsWithinDuplicateDistance(poi, entry)) return static_cast<int32_t>(index);
  }
  return best;
}

// Every cell a match can lie in: a band of a match angle either side in
// latitude, and in longitude the widest a cap of that angle reaches at the
// POI's latitude.
int32_t PoiGrid::SearchCells(const PoiList& list, const CPOI& poi, int32_t best) const {
  const double latitude = poi.latitude;
  const double longitude = poi.longitude;
  const double reach = std::asin(std::sin(kMatchAngle) / std::cos(latitude));
  const int64_t first_column = Column(longitude - reach);
  const int64_t last_column = std::min(Column(longitude + reach), first_column + kColumns - 1);
  for (int64_t row = Row(latitude - kMatchAngle); row <= Row(latitude + kMatchAngle); ++row) {
    for (int64_t column = first_column; column <= last_column; ++column) {
      const auto cell = cells_.find(Key(row, column));
      if (cell != cells_.end()) best = FirstIn(cell->second, list, poi, best);
    }
  }
  return best;
}

int32_t PoiGrid::FindFirst(const PoiList& list, const CPOI& poi) const {
  const bool near_pole = !(std::fabs(poi.latitude) <= kGridLatitude);
  if (near_pole || !Placeable(poi.latitude, poi.longitude)) return FirstIn(all_, list, poi, -1);
  return FirstIn(unplaced_, list, poi, SearchCells(list, poi, -1));
}

}  // namespace tessor
