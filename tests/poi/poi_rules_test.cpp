#include "poi/poi_rules.h"

#include <gtest/gtest.h>

#include <array>
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

// A latitude about `metres` north of lat0 (degrees): a minute of latitude is a
// nautical mile, 1852 m, to within 0.2 % anywhere on the earth.
double North(double lat0, double metres) {
  return lat0 + metres / 1852.0 / 60.0;
}

// The central angle by the haversine formula, another way to the same angle.
double HaversineAngle(double lat1, double lon1, double lat2, double lon2) {
  const double a = std::pow(std::sin((lat2 - lat1) / 2), 2) +
                   std::cos(lat1) * std::cos(lat2) * std::pow(std::sin((lon2 - lon1) / 2), 2);
  return 2 * std::asin(std::sqrt(a));
}

// The earth's radius here is 6378147.8 m at the equator, flattened by
// 1/298.26 towards the poles by the square of the sine of the mean latitude.
TEST(PointDistance, MeasuresOnTheFlattenedEarth) {
  EXPECT_EQ(PointDistance(0.5, 0.5, 0.5, 0.5), 0.0);
  // A quarter of the equator: 6378147.8 m x pi / 2.
  EXPECT_NEAR(PointDistance(0, 0, 0, M_PI / 2), 10018771.14, 0.01);
  EXPECT_NEAR(PointDistance(0, 0, 0, M_PI), 20037542.27, 0.01);
  // Equator to pole: the radius at 45 degrees, 6367455.6 m, times pi / 2.
  EXPECT_NEAR(PointDistance(0, 0, M_PI / 2, 0), 10001975.77, 0.01);
  // A minute of latitude is a nautical mile.
  EXPECT_NEAR(PointDistance(M_PI / 4 - M_PI / 21600, 1, M_PI / 4 + M_PI / 21600, 1), 1852.0, 1.0);
  // Along the 60th parallel a degree of longitude is half as long as at the equator.
  EXPECT_NEAR(PointDistance(M_PI / 3, 0, M_PI / 3, M_PI / 180), 55519.9, 1.0);
  EXPECT_NEAR(PointDistance(0.1, 0.2, 0.3, 0.4), PointDistance(0.3, 0.4, 0.1, 0.2), 1e-6);
  for (const auto& [lat1, lon1, lat2, lon2] :
       {std::array{0.76, -1.38, 0.7601, -1.3799}, std::array{-0.6, 2.1, 0.9, -2.8},
        std::array{1.2, 0.0, -1.2, 3.0}}) {
    const double half = std::sin((lat1 + lat2) / 2);
    const double radius = 6378147.8 * (1 - half * half / 298.26);
    EXPECT_NEAR(PointDistance(lat1, lon1, lat2, lon2),
                radius * HaversineAngle(lat1, lon1, lat2, lon2), 0.01);
  }
}

TEST(AddPoi, FirstOfTwoCloseOnesStaysValid) {
  struct Case {
    double metres;
    int32_t second_status;
  } cases[] = {{995.0, Duplicate}, {1005.0, Valid}};
  for (const Case& c : cases) {
    std::vector<CPOI> records = {At(43.6, 22.9), At(North(43.6, c.metres), 22.9)};
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

TEST(BuildPoiList, SpeedAndDirectionLimitsAreTheLastValuesTaken) {
  std::vector<CPOI> read = {At(20, 20, 300), At(21, 21, 300.01f), At(22, 22), At(23, 23)};
  read[2].direction = 360;
  read[3].direction = 361;
  const DatabaseCoverage coverage = {10 * kRad, 10 * kRad, 30 * kRad, 30 * kRad};
  std::vector<CPOI> page;
  PoiList list;
  BuildPoiList(read.data(), 4, coverage, page, list);
  EXPECT_EQ(PoiStatusText(page[0]), "OK");
  EXPECT_EQ(page[0].vmax, 300.0f);
  EXPECT_EQ(page[1].status, SpeedOutOfRange);
  EXPECT_EQ(list.size(), 3u);
  EXPECT_EQ(page[2].direction, 360);
  EXPECT_EQ(page[3].direction, 0);  // no direction beyond a full turn
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

TEST(PoiSaveText, CountsWhatASaveDropsByStatus) {
  std::vector<CPOI> records(4);
  records[0].status = Valid;
  records[1].status = Duplicate;
  records[2].status = Valid;
  records[3].status = OutOfCoverage;
  const PoiList list = {&records[0], &records[1], &records[2], &records[3]};
  const PoiSaveCount count = CountForSave(list, 0, 2);
  EXPECT_EQ(count.valid, 2u);
  EXPECT_EQ(count.dropped(), 4u);
  EXPECT_EQ(PoiDropQuestion(count),
            "Only the POIs marked \"OK\" are saved: 4 POIs of 6 will be dropped from the POI "
            "file:\n1 \"Out of VELD range\"\n1 \"Duplicated with No. ...\"\n2 beyond the 4096 "
            "the list holds (not listed)\nSave 2 POIs and drop the others?");

  // Nothing dropped: no question.
  const PoiList valid = {&records[0], &records[2]};
  EXPECT_EQ(PoiDropQuestion(CountForSave(valid, 0, 0)), "");
  EXPECT_EQ(PoiSavedText(1, "/data/POI/POI.csv"),
            "1 POI was saved in the POI file /data/POI/POI.csv.");
}

}  // namespace
}  // namespace tessor
