#include "poi/poi_grid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "poi/poi_rules.h"

namespace tessor {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadiusForPlacing = 6371000.0;  // places test points; the rule measures
constexpr double kDeg = kPi / 180.0;

struct Position {
  double latitude, longitude;  // radians
};

double WrapLongitude(double longitude) {
  return std::remainder(longitude, 2 * kPi);
}

// The point that far along that bearing on a sphere: it crosses poles and the
// 180th meridian the way a real neighbour does.
Position Destination(Position from, double metres, double bearing) {
  const double d = metres / kRadiusForPlacing;
  const double lat = std::asin(std::sin(from.latitude) * std::cos(d) +
                               std::cos(from.latitude) * std::sin(d) * std::cos(bearing));
  const double lon =
      from.longitude + std::atan2(std::sin(bearing) * std::sin(d) * std::cos(from.latitude),
                                  std::cos(d) - std::sin(from.latitude) * std::sin(lat));
  return {lat, WrapLongitude(lon)};
}

CPOI At(Position p, int32_t status = Unchecked) {
  CPOI poi;
  poi.latitude = static_cast<float>(p.latitude);
  poi.longitude = static_cast<float>(p.longitude);
  poi.status = status;
  return poi;
}

// Where a random list gathers its POIs.
enum class Area { Anywhere, Pole, DateLine, CellCorner };

// Random POI lists dense enough that many POIs have earlier ones within 1000 m.
class ListMaker {
 public:
  explicit ListMaker(uint32_t seed) : random_(seed) {}

  std::vector<CPOI> Make(Area area) {
    const Position centre = Centre(area);
    const double spread = Uniform(1500, 8000);
    const size_t count = Pick(20, 160);
    std::vector<CPOI> pois;
    std::vector<Position> placed;
    for (size_t i = 0; i < count; ++i) {
      const Position p = Next(centre, spread, placed);
      placed.push_back(p);
      pois.push_back(WithStatus(p));
    }
    return pois;
  }

  size_t Pick(size_t low, size_t high) {
    return std::uniform_int_distribution<size_t>(low, high)(random_);
  }

 private:
  double Uniform(double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(random_);
  }

  Position Centre(Area area) {
    const double side = Uniform(0, 1) < 0.5 ? -1.0 : 1.0;
    switch (area) {
      case Area::Pole: {  // on a pole, or around where the grid hands over to the walk
        const double lat[] = {90.0, 89.99, 89.97, 89.0, 88.99};
        return {side * lat[Pick(0, 4)] * kDeg, Uniform(-kPi, kPi)};
      }
      case Area::DateLine:
        return {Uniform(-89.5, 89.5) * kDeg, side * kPi};
      case Area::CellCorner: {
        const double cell = PoiGrid::CellAngle();
        const double row = std::floor(Uniform(0, 89.0 * kDeg) / cell);
        const double column = std::floor(Uniform(0, 2 * kPi) / cell);
        return {side * row * cell, column * cell - kPi};
      }
      case Area::Anywhere:
        break;
    }
    return {std::asin(Uniform(-1, 1)), Uniform(-kPi, kPi)};
  }

  // Near the centre, about 1000 m from an earlier POI, or on one.
  Position Next(Position centre, double spread, const std::vector<Position>& placed) {
    const double u = Uniform(0, 1);
    if (!placed.empty() && u < 0.35) {
      const Position& earlier = placed[Pick(0, placed.size() - 1)];
      if (u < 0.05) return earlier;
      return Destination(earlier, Uniform(990, 1010), Uniform(0, 2 * kPi));
    }
    return Destination(centre, spread * std::sqrt(Uniform(0, 1)), Uniform(0, 2 * kPi));
  }

  // Mostly unjudged; some with a status the rule keeps, some stored oddly.
  CPOI WithStatus(Position p) {
    const double u = Uniform(0, 1);
    if (u < 0.08) return At(p, OutOfCoverage);
    if (u < 0.11) return At(p, SpeedOutOfRange);
    if (u < 0.15) return At(p, Valid);  // appended unjudged, a candidate all the same
    if (u < 0.22) return Odd(p);
    return At(p);
  }

  // The same place written beyond a pole or a full turn, or no place at all.
  CPOI Odd(Position p) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double over = p.latitude >= 0 ? kPi - p.latitude : -kPi - p.latitude;
    const Position odd[] = {{over, p.longitude + kPi},
                            {p.latitude, p.longitude + 2 * kPi},
                            {p.latitude, p.longitude - 4 * kPi},
                            {nan, p.longitude},
                            {p.latitude, std::numeric_limits<double>::infinity()}};
    return At(odd[Pick(0, 4)]);
  }

  std::mt19937 random_;
};

struct Judged {
  PoiList list;
  std::vector<CPOI> records;
};

// The first `walked` POIs by AddPoi, the rest through a judge over that list
// or by AddPoi again.
Judged Judge(const std::vector<CPOI>& pois, size_t walked, bool grid) {
  Judged judged{{}, pois};
  for (size_t i = 0; i < walked; ++i) AddPoi(judged.list, &judged.records[i]);
  PoiListJudge judge(judged.list);
  for (size_t i = walked; i < pois.size(); ++i) {
    if (grid) {
      judge.Add(&judged.records[i]);
    } else {
      AddPoi(judged.list, &judged.records[i]);
    }
  }
  return judged;
}

double Row(float latitude) {
  return std::floor((latitude + kPi / 2) / PoiGrid::CellAngle());
}

double Column(float longitude) {
  return std::floor((longitude + kPi) / PoiGrid::CellAngle());
}

// What the matches of one area went through.
struct Matches {
  size_t judged = 0, duplicates = 0, across_date_line = 0, across_cells = 0, near_pole = 0,
         off_pole = 0, of_odd = 0;

  void Count(const CPOI& poi, const CPOI& first) {
    ++duplicates;
    if (std::fabs(poi.longitude) > 3 && poi.longitude * first.longitude < 0) ++across_date_line;
    if (Row(poi.latitude) != Row(first.latitude) ||
        Column(poi.longitude) != Column(first.longitude))
      ++across_cells;
    if (std::fabs(poi.latitude) > 89.0 * kDeg) ++near_pole;
    if (std::fabs(poi.latitude) > 88.9 * kDeg && std::fabs(poi.latitude) < 89.0 * kDeg) ++off_pole;
    if (!(std::fabs(first.latitude) <= kPi / 2) || !(std::fabs(first.longitude) <= 2 * kPi))
      ++of_odd;
  }
};

void CompareOnRandomLists(Area area, uint32_t seed, size_t lists, Matches& matches) {
  ListMaker maker(seed);
  for (size_t n = 0; n < lists; ++n) {
    const std::vector<CPOI> pois = maker.Make(area);
    const size_t walked = maker.Pick(0, pois.size() / 2);
    const Judged walk = Judge(pois, walked, false);
    const Judged grid = Judge(pois, walked, true);
    for (size_t i = 0; i < pois.size(); ++i) {
      const CPOI& expected = walk.records[i];
      const CPOI& got = grid.records[i];
      ASSERT_EQ(got.status, expected.status) << "list " << n << " entry " << i;
      ASSERT_EQ(got.duplicateOf, expected.duplicateOf) << "list " << n << " entry " << i;
      if (pois[i].status != Unchecked) continue;
      ++matches.judged;
      if (got.status == Duplicate) matches.Count(got, *walk.list[got.duplicateOf]);
    }
  }
}

// A good share of the POIs must match, or agreeing would prove little.
void ExpectManyMatches(const Matches& m) {
  EXPECT_GT(m.duplicates, m.judged / 3) << m.duplicates << " of " << m.judged;
  EXPECT_LT(m.duplicates, m.judged * 9 / 10) << m.duplicates << " of " << m.judged;
}

TEST(PoiGrid, FindsWhatTheWalkFindsAnywhere) {
  Matches m;
  ASSERT_NO_FATAL_FAILURE(CompareOnRandomLists(Area::Anywhere, 1901, 800, m));
  ExpectManyMatches(m);
  EXPECT_GT(m.across_cells, m.duplicates / 3);
  EXPECT_GT(m.of_odd, 20u);  // over a pole or a full turn: the same place to the rule
}

TEST(PoiGrid, FindsWhatTheWalkFindsAroundThePoles) {
  Matches m;
  ASSERT_NO_FATAL_FAILURE(CompareOnRandomLists(Area::Pole, 1902, 800, m));
  ExpectManyMatches(m);
  EXPECT_GT(m.near_pole, 1000u);  // the walk's side
  EXPECT_GT(m.off_pole, 1000u);   // the grid's widest columns
}

TEST(PoiGrid, FindsWhatTheWalkFindsAcrossTheDateLine) {
  Matches m;
  ASSERT_NO_FATAL_FAILURE(CompareOnRandomLists(Area::DateLine, 1903, 800, m));
  ExpectManyMatches(m);
  EXPECT_GT(m.across_date_line, 1000u);
}

TEST(PoiGrid, FindsWhatTheWalkFindsAtCellCorners) {
  Matches m;
  ASSERT_NO_FATAL_FAILURE(CompareOnRandomLists(Area::CellCorner, 1904, 800, m));
  ExpectManyMatches(m);
  EXPECT_GT(m.across_cells, m.duplicates / 2);
}

// Of two earlier POIs within reach, the one listed first wins, even when the
// other is nearer and in a cell searched before.
TEST(PoiGrid, TheEarliestEntryWinsNotTheNearest) {
  const double cell = PoiGrid::CellAngle();
  const Position border = {14828.5 * cell - kPi / 2, 20000 * cell - kPi};  // 45 degrees north
  const Position poi = Destination(border, 50, 3 * kPi / 2);  // just west of a column border
  std::vector<CPOI> records = {At(Destination(poi, 950, kPi / 2)),
                               At(Destination(poi, 100, 3 * kPi / 2)), At(poi)};
  ASSERT_GT(Column(records[0].longitude), Column(records[2].longitude));
  ASSERT_EQ(Column(records[1].longitude), Column(records[2].longitude));
  PoiList list;
  PoiListJudge judge(list);
  for (CPOI& r : records) ASSERT_TRUE(judge.Add(&r));
  EXPECT_EQ(records[1].status, Valid);  // 1050 m from the first
  EXPECT_EQ(records[2].status, Duplicate);
  EXPECT_EQ(records[2].duplicateOf, 0);
}

// Near the poles the rule's earth is smallest and 1000 m the widest angle: a
// match 999 m due north, just across a row border, is still found.
TEST(PoiGrid, ReachesTheWidestMatchAcrossARowBorder) {
  const double cell = PoiGrid::CellAngle();
  const double border = std::floor((88.5 * kDeg + kPi / 2) / cell) * cell - kPi / 2;
  CPOI north = At({border, 0.3});
  if (north.latitude < border) north.latitude = std::nextafter(north.latitude, 2.0f);
  CPOI poi = At({north.latitude - 999.0 / 6356780.0, 0.3});
  ASSERT_LT(Row(poi.latitude), Row(north.latitude));
  ASSERT_LE(PointDistance(poi.latitude, 0.3f, north.latitude, 0.3f), 999.2);
  PoiList list;
  PoiListJudge judge(list);
  judge.Add(&north);
  judge.Add(&poi);
  EXPECT_EQ(poi.status, Duplicate);
}

// 4096 POIs 50 km or more apart: each is measured against a handful, where the
// walk measures against all earlier ones (over eight million distances).
TEST(PoiListJudge, MeasuresFewDistancesForFarApartPois) {
  std::vector<CPOI> records;
  for (int i = 0; i < 64; ++i) {
    for (int j = 0; j < 64; ++j) {
      CPOI poi;
      poi.SetLatitude(-60 + i * 1.9);
      poi.SetLongitude(-179.9 + j * 5.6);
      records.push_back(poi);
    }
  }
  PoiList list;
  PoiListJudge judge(list);
  for (CPOI& r : records) ASSERT_TRUE(judge.Add(&r));
  for (const CPOI& r : records) ASSERT_EQ(r.status, Valid);
  EXPECT_EQ(judge.grid().distances(), 0u);
  EXPECT_FALSE(judge.Add(&records[0]));  // full
}

// The program's path: a clustered file read into the page gives the same
// statuses as adding its POIs one by one with the walk; entries out of the
// coverage are listed without being judged.
TEST(BuildPoiList, JudgesAClusteredFileAsTheWalkDoes) {
  std::mt19937 random(1905);
  std::uniform_real_distribution<double> offset(-0.03, 0.03);
  std::vector<CPOI> read(4200);
  for (CPOI& poi : read) {
    poi.SetLatitude(52.0 + offset(random));
    const double longitude = 179.98 + offset(random);  // across the 180th meridian
    poi.SetLongitude(longitude > 180 ? longitude - 360 : longitude);
    poi.vmax = 50;
  }
  read[7].vmax = 400;
  const DatabaseCoverage coverage = {-180 * kDegToRad, -90 * kDegToRad, 180 * kDegToRad,
                                     52.02f * kDegToRad};
  std::vector<CPOI> page;
  PoiList list;
  EXPECT_EQ(BuildPoiList(read.data(), 4200, coverage, page, list), 103u);
  EXPECT_EQ(page[7].status, SpeedOutOfRange);

  std::vector<CPOI> again(page);
  PoiList walked;
  for (CPOI* listed : list) {
    CPOI& poi = again[static_cast<size_t>(listed - page.data())];
    if (poi.status != OutOfCoverage) poi.status = Unchecked;
    poi.duplicateOf = -1;
    AddPoi(walked, &poi);
  }
  size_t duplicates = 0, out = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    ASSERT_EQ(list[i]->status, walked[i]->status) << i;
    ASSERT_EQ(list[i]->duplicateOf, walked[i]->duplicateOf) << i;
    duplicates += list[i]->status == Duplicate;
    out += list[i]->status == OutOfCoverage;
  }
  EXPECT_GT(duplicates, 2500u);
  EXPECT_GT(out, 500u);
}

}  // namespace
}  // namespace tessor
