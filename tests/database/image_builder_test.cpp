#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "database/camera_file_process.h"
#include "database/database_image.h"
#include "database/image_validation.h"
#include "database/map_arrangement.h"
#include "test_files.h"

namespace tessor {
namespace {

using test::MessageRecorder;

std::vector<CCameraInfo> TorontoCameras() {
  const std::string csv = test::TorontoCameraCsv(test::TorontoPositions());
  CCameraInfoFileProcess reader;
  std::vector<CCameraInfo>* cameras = nullptr;
  if (!reader.LoadBuffer(csv.data(), csv.size()) || !reader.GetCameras(&cameras)) return {};
  return *cameras;
}

TEST(MapArrangement, StartsEmptyWithANewHeader) {
  CMapArrangement arrangement;
  EXPECT_EQ(arrangement.cell_count, 0u);
  EXPECT_TRUE(arrangement.cells.empty());
  EXPECT_TRUE(arrangement.image.empty());
  EXPECT_EQ(arrangement.min_longitude, std::numbers::pi_v<float>);
  EXPECT_EQ(arrangement.min_latitude, std::numbers::pi_v<float> / 2);
  EXPECT_EQ(arrangement.max_longitude, -std::numbers::pi_v<float>);
  EXPECT_EQ(arrangement.max_latitude, -std::numbers::pi_v<float> / 2);
  EXPECT_EQ(std::string(arrangement.header.magic.begin(), arrangement.header.magic.end()), "%CDB");
  EXPECT_EQ(arrangement.header.flags, (std::array<uint8_t, 4>{1, 0, 0, 1}));
  EXPECT_EQ(arrangement.header.grid_x, 0);
  EXPECT_EQ(arrangement.flash_capacity, 2097152u);
  EXPECT_EQ(arrangement.caption, "");
}

class TorontoImage : public ::testing::TestWithParam<double> {};

TEST_P(TorontoImage, AgreesWithItsCameras) {
  const std::vector<CCameraInfo> cameras = TorontoCameras();
  ASSERT_EQ(cameras.size(), 154u);
  CMapArrangement arrangement;
  std::vector<std::string> lines;
  ASSERT_TRUE(arrangement.Build(cameras, GetParam(), [&](const std::string& line, bool replace) {
    if (replace) lines.pop_back();
    lines.push_back(line);
  }));
  EXPECT_EQ(lines,
            (std::vector<std::string>{
                "Build cells ...Done.", "Add speed camera points to cells...Done.",
                "Build DB Header...Done.", "Build DB Index...Done", "Build DB Data...Done."}));
  const DatabaseImage& image = arrangement.image;
  const ImageVerdict verdict = ValidateImage(image);
  ASSERT_TRUE(verdict.valid) << verdict.reason;

  EngineDatabaseInfo info;
  ASSERT_TRUE(UnpackHeader(image, info));
  EXPECT_EQ(info.flags, (std::array<uint8_t, 4>{1, 0, 0, 1}));
  EXPECT_EQ(info.value_r, 154u);
  const uint32_t cells = uint32_t{info.grid_x} * info.grid_y;
  EXPECT_GT(cells, 1u);
  float min_lon = 10, min_lat = 10, max_lon = -10, max_lat = -10;
  for (const CCameraInfo& c : cameras) {
    min_lon = std::min(min_lon, c.longitude);
    min_lat = std::min(min_lat, c.latitude);
    max_lon = std::max(max_lon, c.longitude);
    max_lat = std::max(max_lat, c.latitude);
  }
  EXPECT_EQ(info.min_longitude, min_lon);
  EXPECT_EQ(info.min_latitude, min_lat);
  EXPECT_EQ(info.max_longitude, max_lon);
  EXPECT_EQ(info.max_latitude, max_lat);

  // The reads a download makes: the first entry, the last entry by both ways.
  const auto span = std::span<const uint8_t>(image);
  const CellIndexEntry first = ParseIndexEntry(span.subspan(40).first<16>());
  EXPECT_EQ(first.point_offset, 44 + 16 * cells);
  const auto index = span.subspan(40, IndexSize(info.grid_x, info.grid_y));
  const auto last = LastIndexEntry(index, info.grid_x, info.grid_y);
  ASSERT_TRUE(last.has_value());
  const auto last_at = LastEntryOffset(first);
  ASSERT_TRUE(last_at.has_value());
  const CellIndexEntry again = ParseIndexEntry(span.subspan(*last_at).first<16>());
  EXPECT_EQ(again.point_offset, last->point_offset);
  EXPECT_EQ(again.point_count, last->point_count);
  const auto range = PointDataRange(first, *last);
  ASSERT_TRUE(range.has_value());
  EXPECT_EQ(range->start + range->length, image.size());
  EXPECT_EQ(range->length, 16u * 154 + 4);

  // Every camera is a point of the cell whose rectangle holds it.
  std::vector<int> found(cameras.size(), 0);
  for (uint32_t cell = 0; cell < cells; ++cell) {
    const CellIndexEntry entry = ParseIndexEntry(span.subspan(40 + 16 * cell).first<16>());
    float west, south;
    std::memcpy(&west, entry.value_a.data(), 4);
    std::memcpy(&south, entry.value_b.data(), 4);
    for (uint32_t k = 0; k < entry.point_count; ++k) {
      SCPoint point;
      std::copy_n(image.begin() + entry.point_offset + 16 * k, 16, point.bytes.begin());
      const CCameraInfo camera = point.ToCamera();
      EXPECT_GE(camera.longitude, west - 1e-6f);
      EXPECT_LE(camera.longitude, west + info.grid_p + 1e-6f);
      EXPECT_GE(camera.latitude, south - 1e-6f);
      EXPECT_LE(camera.latitude, south + info.grid_q + 1e-6f);
      for (size_t i = 0; i < cameras.size(); ++i) {
        const CCameraInfo& c = cameras[i];
        if (!found[i] && c.longitude == camera.longitude && c.latitude == camera.latitude &&
            c.direction == camera.direction && c.type == camera.type && c.vmax == camera.vmax) {
          found[i] = 1;
          break;
        }
      }
    }
  }
  for (size_t i = 0; i < cameras.size(); ++i) EXPECT_TRUE(found[i]) << "camera " << i;
}

INSTANTIATE_TEST_SUITE_P(CellRanges, TorontoImage, ::testing::Values(1.0, 2.0, 3.0, 5.0, 10.0));

TEST(ImageBuilder, RefusesTooFewCameras) {
  struct Case {
    size_t count;
    const char* message;
  } cases[] = {{0, "There is no data in the Speed Camera DB!!"},
               {1, "VELD Points have to be more than 2 points!!"},
               {2, "VELD Points have to be more than 2 points!!"}};
  for (const Case& c : cases) {
    MessageRecorder recorder;
    CMapArrangement arrangement;
    EXPECT_FALSE(arrangement.Build(std::vector<CCameraInfo>(c.count), 1.0)) << c.count;
    EXPECT_TRUE(arrangement.image.empty());
    EXPECT_EQ(recorder.messages(),
              std::vector<std::string>{std::string("Zevev Iruded Evezozoz Izidavo|") + c.message});
  }
}

TEST(ImageBuilder, RefusesAnImageBiggerThanTheFlash) {
  // Three cameras spread over the globe: 1 km cells would need gigabytes of index.
  std::vector<CCameraInfo> cameras(3);
  cameras[0].SetLatitude(-60);
  cameras[0].SetLongitude(-170);
  cameras[1].SetLatitude(70);
  cameras[1].SetLongitude(170);
  MessageRecorder recorder;
  CMapArrangement arrangement;
  std::vector<std::string> lines;
  EXPECT_FALSE(arrangement.Build(cameras, 1.0,
                                 [&](const std::string& line, bool) { lines.push_back(line); }));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("DB size: ", 0), 0u);
  EXPECT_EQ(lines[1], "Flash size: 2097152");
  EXPECT_EQ(recorder.messages(),
            std::vector<std::string>{"Zevev Iruded Evezozoz Izidavo|Can not upload VELD, VELD size "
                                     "is Biger than the memory size of the device!!"});
  EXPECT_TRUE(arrangement.cells.empty());

  // The same cameras fit at exactly their size, and not one byte less.
  const std::vector<CCameraInfo> toronto = TorontoCameras();
  CMapArrangement probe;
  ASSERT_TRUE(probe.Build(toronto, 10.0));
  CMapArrangement exact;
  exact.flash_capacity = static_cast<uint32_t>(probe.image.size());
  EXPECT_TRUE(exact.Build(toronto, 10.0));
  CMapArrangement short_by_one;
  short_by_one.flash_capacity = static_cast<uint32_t>(probe.image.size() - 1);
  EXPECT_FALSE(short_by_one.Build(toronto, 10.0));
}

TEST(ImageBuilder, PutsCoincidentCamerasInOneCell) {
  std::vector<CCameraInfo> cameras(3);
  for (CCameraInfo& c : cameras) {
    c.SetLatitude(43.7);
    c.SetLongitude(-79.4);
  }
  CMapArrangement arrangement;
  ASSERT_TRUE(arrangement.Build(cameras, 1.0));
  EXPECT_EQ(arrangement.header.grid_x, 1);
  EXPECT_EQ(arrangement.header.grid_y, 1);
  EXPECT_TRUE(ValidateImage(arrangement.image).valid);
  EXPECT_EQ(arrangement.image.size(), 40u + 20 + 48 + 4);
}

}  // namespace
}  // namespace tessor
