// Judges a full POI list (4096 POIs) by walking the list for every POI and
// through the grid, far apart and clustered, and checks both agree.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "poi/poi_rules.h"

using namespace tessor;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRuns = 5;

// 64 x 64 POIs about 100 km apart and more, jittered.
std::vector<CPOI> FarApart() {
  std::mt19937 random(19);
  std::uniform_real_distribution<double> jitter(-0.1, 0.1);
  std::vector<CPOI> pois;
  for (int i = 0; i < 64; ++i) {
    for (int j = 0; j < 64; ++j) {
      CPOI poi;
      poi.SetLatitude(-30 + i * 0.9 + jitter(random));
      poi.SetLongitude(-150 + j * 4.5 + jitter(random));
      pois.push_back(poi);
    }
  }
  return pois;
}

// 4096 POIs in a town 20 km across: most are duplicates.
std::vector<CPOI> Clustered() {
  std::mt19937 random(19);
  std::uniform_real_distribution<double> offset(-0.09, 0.09);
  std::vector<CPOI> pois(kPoiListCapacity);
  for (CPOI& poi : pois) {
    poi.SetLatitude(48.14 + offset(random));
    poi.SetLongitude(11.58 + offset(random) * 1.5);
  }
  return pois;
}

template <typename Judge>
double Milliseconds(const std::vector<CPOI>& pois, std::vector<CPOI>& judged, Judge judge) {
  judged = pois;
  const auto start = Clock::now();
  judge(judged);
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Times {
  std::vector<double> runs;
  void Add(double ms) { runs.push_back(ms); }
  double Best() const { return *std::min_element(runs.begin(), runs.end()); }
  double Median() {
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
  }
};

void Walk(std::vector<CPOI>& pois) {
  PoiList list;
  for (CPOI& poi : pois) AddPoi(list, &poi);
}

void Grid(std::vector<CPOI>& pois) {
  PoiList list;
  PoiListJudge judge(list);
  for (CPOI& poi : pois) judge.Add(&poi);
}

// The program's path: records as read from a file, judged into the page's list.
void Build(std::vector<CPOI>& pois) {
  const DatabaseCoverage everywhere = {-180 * kDegToRad, -90 * kDegToRad, 180 * kDegToRad,
                                       90 * kDegToRad};
  std::vector<CPOI> page;
  PoiList list;
  BuildPoiList(pois.data(), static_cast<uint32_t>(pois.size()), everywhere, page, list);
  pois.swap(page);
}

bool Same(const std::vector<CPOI>& a, const std::vector<CPOI>& b) {
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].status != b[i].status || a[i].duplicateOf != b[i].duplicateOf) return false;
  }
  return true;
}

bool Report(const char* name, const std::vector<CPOI>& pois) {
  Times walk, grid, build;
  std::vector<CPOI> by_walk, by_grid, built;
  for (int run = 0; run < kRuns; ++run) {
    walk.Add(Milliseconds(pois, by_walk, Walk));
    grid.Add(Milliseconds(pois, by_grid, Grid));
    build.Add(Milliseconds(pois, built, Build));
  }
  const auto duplicates = std::count_if(by_grid.begin(), by_grid.end(),
                                        [](const CPOI& p) { return p.status == Duplicate; });
  std::printf("%s: %zu POIs, %ld duplicates\n", name, pois.size(), static_cast<long>(duplicates));
  std::printf("  walk (AddPoi):          best %8.2f ms  median %8.2f ms\n", walk.Best(),
              walk.Median());
  std::printf("  grid (PoiListJudge):    best %8.2f ms  median %8.2f ms\n", grid.Best(),
              grid.Median());
  std::printf("  BuildPoiList (program): best %8.2f ms  median %8.2f ms\n", build.Best(),
              build.Median());
  const bool same = Same(by_walk, by_grid);
  std::printf("  same statuses: %s\n", same ? "yes" : "NO");
  return same;
}

}  // namespace

int main() {
  const bool far = Report("far apart", FarApart());
  const bool clustered = Report("clustered", Clustered());
  return far && clustered ? 0 : 1;
}
