#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "poi/poi.h"

namespace tessor {

// The valid entries of a POI list filed by position, so that finding the
// earliest one within the duplicate distance of a POI looks at a few nearby
// cells instead of the whole list. The answer is the walk's own: the same
// distance on the same entries, the lowest index winning.
class PoiGrid {
 public:
  // Files entry index of the list; entries are filed in ascending index order.
  void Insert(uint32_t index, const CPOI& entry);
  // The lowest filed index whose entry is valid and within the duplicate
  // distance of poi, or -1.
  int32_t FindFirst(const PoiList& list, const CPOI& poi) const;

  // Distances measured by FindFirst so far.
  size_t distances() const { return distances_; }
  // The side of a cell in radians, in latitude and longitude alike.
  static double CellAngle();

 private:
  int32_t FirstIn(const std::vector<uint32_t>& indices, const PoiList& list, const CPOI& poi,
                  int32_t best) const;
  int32_t SearchCells(const PoiList& list, const CPOI& poi, int32_t best) const;

  std::unordered_map<int64_t, std::vector<uint32_t>> cells_;
  std::vector<uint32_t> all_;       // every filed index: the walk near the poles
  std::vector<uint32_t> unplaced_;  // positions no cell holds: tried for every POI
  mutable size_t distances_ = 0;
};

}  // namespace tessor
