#include "poi/poi_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tessor {
namespace {

constexpr float kRad = 0.017453292f;

CPOI At(double latitude, double longitude, float vmax = 50) {
  CPOI poi;
  poi.SetLatitude(latitude);
  poi.SetLongitude(longitude);
  poi.vmax = vmax;
  return poi;
}

// A latitude north of lat0 (degrees) at about metres along the meridian.
double North(double lat0, double metres) {
  double step = metres / 111000.0;
  for (int i = 0; i < 60; ++i) {
    const float a = static_cast<float>(lat0) * kRad;
    const float b = static_cast<float>(lat0 + step) * kRad;
    step *= metres / PointDistance(a, 0.4f, b, 0.4f);
  }
  return lat0 + step;
}

TEST(PointDistance, MeasuresOnTheFlattenedEarth) {
  EXPECT_EQ(PointDistance(0.5, 0.5, 0.5, 0.5), 0.0);
  const double one_degree = PointDistance(0, 0, 1 * M_PI / 180, 0);
  EXPECT_NEAR(one_degree,
              6378147.8 * (1 - 0.0033527794541675 * std::pow(std::sin(M_PI / 360), 2)) * M_PI / 180,
              1e-6);
  EXPECT_NEAR(PointDistance(0.1, 0.2, 0.3, 0.4), PointDistance(0.3, 0.4, 0.1, 0.2), 1e-6);
  EXPECT_NEAR(PointDistance(0, 0, 0, M_PI), 6378147.8 * M_PI, 1e-3);
}

TEST(AddPoi, FirstOfTwoCloseOnesStaysValid) {
  struct Case {
    double metres;
    int32_t second_status;
  } cases[] = {{999.0, Duplicate}, {1001.0, Valid}};
  for (const Case& c : cases) {
    std::vector<CPOI> records = {At(43.6, 22.9), At(North(43.6, c.metres), 22.9)};
    const double d = PointDistance(records[0].latitude, records[0].longitude, records[1].latitude,
                                   records[1].longitude);
    ASSERT_NEAR(d, c.metres, 0.5);
    PoiList list;
    ASSERT_TRUE(AddPoi(list, &records[0]));
    ASSERT_TRUE(AddPoi(list, &records[1]));
    EXPECT_EQ(PoiStatusText(*list[0]), "OK");
    EXPECT_EQ(list[1]->status, c.second_status) << c.metres;
    if (c.second_status == Duplicate) {
      EXPECT_EQ(list[1]->duplicateOf, 0);
      EXPECT_EQ(PoiStatusText(*list[1]), "Duplicated with No. 1");
    }
  }
}

TEST(AddPoi, JudgesOnlyUncheckedPoisAndStopsAt4096) {
  std::vector<CPOI> records(5000, At(10, 10));
  records[0].status = OutOfCoverage;
  PoiList list;
  size_t added = 0;
  for (CPOI& poi : records) added += AddPoi(list, &poi);
  EXPECT_EQ(added, 4096u);
  EXPECT_EQ(list.size(), 4096u);
  EXPECT_EQ(list[0]->status, OutOfCoverage);
  EXPECT_EQ(list[1]->status, Valid);  // the out-of-coverage one is no original
  EXPECT_EQ(list[2]->duplicateOf, 1);
  EXPECT_EQ(records[4999].status, Unchecked);
  EXPECT_FALSE(AddPoi(list, nullptr));
}

TEST(BuildPoiList, ListsBackwardsAndJudgesSpeedAndCoverage) {
  std::vector<CPOI> read = {At(10, 10, 300), At(20, 20, 300.5f), At(30, 30, -1), At(90, 0, 0),
                            At(10, 30, 0)};
  read[0].SetComment("kept");
  read[1].SetComment("dropped");
  const DatabaseCoverage coverage = {10 * kRad, 10 * kRad, 30 * kRad, 30 * kRad};
  std::vector<CPOI> page;
  PoiList list;
  std::vector<uint32_t> progress;
  BuildPoiList(read.data(), 5, coverage, page, list, [&](uint32_t i, uint32_t count) {
    EXPECT_EQ(count, 5u);
    progress.push_back(i);
  });
  EXPECT_EQ(progress, (std::vector<uint32_t>{4, 3, 2, 0}));
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0], &page[4]);
  EXPECT_EQ(list[1], &page[3]);
  EXPECT_EQ(list[3], &page[0]);
  EXPECT_EQ(page[1].status, SpeedOutOfRange);
  EXPECT_EQ(page[1].comment(), "");
  EXPECT_EQ(page[0].comment(), "kept");
  EXPECT_EQ(PoiStatusText(page[4]), "OK");  // on the coverage's corner: edges are inclusive
  EXPECT_EQ(PoiStatusText(page[3]), "Out of VELD range");
  EXPECT_NEAR(page[3].latitude * 57.29578f, 90.0f, 1e-4f);
  EXPECT_EQ(PoiStatusText(page[2]), "OK");
  EXPECT_EQ(PoiStatusText(page[0]), "OK");
}

TEST(BuildPoiList, AllZeroCoverageLeavesOnlyTheOrigin) {
  std::vector<CPOI> read = {At(0, 0), At(0.000001, 0), At(-1, 0)};
  std::vector<CPOI> page;
  PoiList list;
  BuildPoiList(read.data(), 3, DatabaseCoverage{}, page, list);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(page[0].status, Valid);
  EXPECT_EQ(page[1].status, OutOfCoverage);
  EXPECT_EQ(page[2].status, OutOfCoverage);
}

TEST(SetPoiPosition, RejudgesOnlyTheMovedEntry) {
  std::vector<CPOI> records = {At(10, 10), At(20, 20), At(North(20, 300), 20)};
  PoiList list;
  for (CPOI& poi : records) AddPoi(list, &poi);
  ASSERT_EQ(list[2]->status, Duplicate);
  ASSERT_EQ(list[2]->duplicateOf, 1);

  // Entry 1 moves to 500 m from entry 0; entry 2 keeps its old verdict.
  SetPoiPosition(list, 1, Valid, North(10, 500), 10);
  EXPECT_EQ(PoiStatusText(*list[1]), "Duplicated with No. 1");
  EXPECT_EQ(list[2]->status, Duplicate);
  EXPECT_NEAR(list[1]->latitude * 57.29578, North(10, 500), 1e-4);

  SetPoiPosition(list, 0, OutOfCoverage, 95, 200);  // out of range: position kept
  EXPECT_EQ(list[0]->status, OutOfCoverage);
  EXPECT_FLOAT_EQ(list[0]->latitude, 10 * kRad);
  SetPoiPosition(list, 7, Valid, 0, 0);  // beyond the list: nothing
}

TEST(SetPoiSpeedAndComment, ChangeOnlyListedEntries) {
  std::vector<CPOI> records(2);
  PoiList list = {&records[0]};
  SetPoiSpeed(list, 0, 120);
  SetPoiComment(list, 0, "new");
  SetPoiSpeed(list, 1, 99);
  SetPoiComment(list, 1, "ignored");
  EXPECT_EQ(records[0].vmax, 120.0f);
  EXPECT_EQ(records[0].comment(), "new");
  EXPECT_EQ(records[1].vmax, 0.0f);
  EXPECT_EQ(records[1].comment(), "");
  SetPoiComment(list, 0, std::string(300, 'x'));
  EXPECT_EQ(records[0].comment().size(), 255u);
}

}  // namespace
}  // namespace tessor
