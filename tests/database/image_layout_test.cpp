#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "database/database_image.h"
#include "database/image_validation.h"

namespace tessor {
namespace {

DatabaseHeader Header(uint16_t x, uint16_t y) {
  DatabaseHeader header;
  header.grid_x = x;
  header.grid_y = y;
  return header;
}

// A well-formed image: cell i holds counts[i] points.
DatabaseImage MakeImage(uint16_t x, uint16_t y, const std::vector<uint32_t>& counts) {
  const auto head = PackHeader(Header(x, y));
  DatabaseImage image(head.begin(), head.end());
  uint32_t offset = static_cast<uint32_t>(FirstPointOffset(x, y));
  uint32_t total = 0;
  for (uint32_t count : counts) {
    CellIndexEntry entry;
    entry.point_count = count;
    entry.point_offset = offset;
    offset += 16 * count;
    total += count;
    const auto bytes = PackIndexEntry(entry);
    image.insert(image.end(), bytes.begin(), bytes.end());
  }
  image.insert(image.end(), 4 + 16 * total + 4, 0xAB);
  return image;
}

void SetEntry(DatabaseImage& image, size_t cell, uint32_t count, uint32_t offset) {
  std::memcpy(image.data() + 40 + 16 * cell + 8, &count, 4);
  std::memcpy(image.data() + 40 + 16 * cell + 12, &offset, 4);
}

TEST(ImageLayout, IndexAndPointRangesFollowTheGrid) {
  EXPECT_EQ(IndexSize(3, 2), 100u);
  EXPECT_EQ(FirstPointOffset(3, 2), 140u);
  CellIndexEntry first;
  first.point_offset = 140;
  EXPECT_EQ(LastEntryOffset(first), 120u);
  EXPECT_EQ(IndexSize(65535, 65535), 16ull * 65535 * 65535 + 4);

  CellIndexEntry last;
  last.point_offset = 940;
  last.point_count = 5;
  const auto range = PointDataRange(first, last);
  ASSERT_TRUE(range.has_value());
  EXPECT_EQ(range->start, 140u);
  EXPECT_EQ(range->length, 884u);

  last.point_offset = 139;
  EXPECT_FALSE(PointDataRange(first, last).has_value());
  first.point_offset = 59;  // no room for an entry before the points
  EXPECT_FALSE(LastEntryOffset(first).has_value());
}

TEST(ImageLayout, HeaderUnpacksLatitudeFirstIntoLongitudeFirst) {
  std::vector<uint8_t> bytes(40);
  const float values[] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
  std::memcpy(bytes.data(), "%CDB\x01\x00\x00\x01", 8);
  std::memcpy(bytes.data() + 8, values, sizeof values);
  const uint16_t grid[] = {7, 9};
  std::memcpy(bytes.data() + 32, grid, 4);
  const uint32_t r = 0xDEADBEEF;
  std::memcpy(bytes.data() + 36, &r, 4);

  EngineDatabaseInfo info;
  ASSERT_TRUE(UnpackHeader(bytes, info));
  EXPECT_EQ(info.min_latitude, 0.1f);
  EXPECT_EQ(info.min_longitude, 0.2f);
  EXPECT_EQ(info.max_latitude, 0.3f);
  EXPECT_EQ(info.max_longitude, 0.4f);
  EXPECT_EQ(info.grid_p, 0.5f);
  EXPECT_EQ(info.grid_q, 0.6f);
  EXPECT_EQ(info.grid_x, 7);
  EXPECT_EQ(info.grid_y, 9);
  EXPECT_EQ(info.value_r, r);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), info.raw_header.begin()));
  const DatabaseCoverage coverage = CoverageOf(info);
  EXPECT_EQ(coverage.min_longitude, 0.2f);
  EXPECT_EQ(coverage.min_latitude, 0.1f);
  EXPECT_EQ(coverage.max_longitude, 0.4f);
  EXPECT_EQ(coverage.max_latitude, 0.3f);

  // Nothing is checked: a foreign magic is carried as it is.
  bytes[0] = 'X';
  ASSERT_TRUE(UnpackHeader(bytes, info));
  EXPECT_EQ(info.magic[0], 'X');
  EngineDatabaseInfo untouched;
  EXPECT_FALSE(UnpackHeader(std::span<const uint8_t>(bytes).first(39), untouched));
  EXPECT_EQ(untouched.grid_x, 0);
}

TEST(ImageLayout, LastIndexEntryEndsFourBytesBeforeTheIndexEnd) {
  const DatabaseImage image = MakeImage(3, 2, {1, 0, 2, 0, 0, 4});
  const auto index = std::span<const uint8_t>(image).subspan(40, IndexSize(3, 2));
  const auto last = LastIndexEntry(index, 3, 2);
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->point_count, 4u);
  EXPECT_EQ(last->point_offset, 140u + 16 * 3);
  // X x Y = 0: the index is its 4 closing bytes and holds no entry to take.
  const std::vector<uint8_t> empty_index(4);
  EXPECT_FALSE(LastIndexEntry(empty_index, 0, 5).has_value());
  EXPECT_FALSE(LastIndexEntry(empty_index, 5, 0).has_value());
}

TEST(ImageLayout, PointsCarryTheCameraDataBytes) {
  CCameraInfo camera;
  camera.longitude = -1.25f;
  camera.latitude = 0.75f;
  camera.direction = 270;
  camera.type = 0xBEEF;
  camera.vmax = -1.0f;
  const SCPoint point = SCPoint::FromCamera(camera);
  const uint8_t expected[16] = {0x00, 0x00, 0xA0, 0xBF, 0x00, 0x00, 0x40, 0x3F,
                                0x0E, 0x01, 0xEF, 0xBE, 0x00, 0x00, 0x80, 0xBF};
  EXPECT_TRUE(std::equal(point.bytes.begin(), point.bytes.end(), expected));
  const CCameraInfo back = point.ToCamera();
  EXPECT_EQ(back.longitude, camera.longitude);
  EXPECT_EQ(back.latitude, camera.latitude);
  EXPECT_EQ(back.direction, camera.direction);
  EXPECT_EQ(back.type, camera.type);
  EXPECT_EQ(back.vmax, camera.vmax);
}

TEST(ImageValidation, AcceptsWellFormedImages) {
  for (const auto& counts : std::vector<std::vector<uint32_t>>{{1}, {0}, {2, 0, 3, 1}}) {
    const uint16_t x = static_cast<uint16_t>(counts.size());
    const ImageVerdict verdict = ValidateImage(MakeImage(x, 1, counts));
    EXPECT_TRUE(verdict.valid) << verdict.reason;
    EXPECT_EQ(verdict.reason, "");
  }
}

TEST(ImageValidation, RefusesBrokenImagesWithAReason) {
  struct Case {
    const char* name;
    void (*spoil)(DatabaseImage&);
    const char* reason;
  } cases[] = {
      {"short", [](DatabaseImage& i) { i.resize(39); }, "file shorter than the 40-byte header"},
      {"magic", [](DatabaseImage& i) { i[3] = 'X'; }, "magic is not %CDB"},
      {"no cells",
       [](DatabaseImage& i) {
         i[32] = 0;
         i[33] = 0;
       },
       "grid has no cells (X x Y = 0)"},
      {"index beyond file", [](DatabaseImage& i) { i[33] = 0x10; }, "index exceeds the file"},
      {"first offset", [](DatabaseImage& i) { SetEntry(i, 0, 1, 120); },
       "cell 0: first point offset 120 is not 108"},
      {"overlap", [](DatabaseImage& i) { SetEntry(i, 1, 2, 108); },
       "cell 1: point offset not ascending"},
      {"outside", [](DatabaseImage& i) { SetEntry(i, 2, 9, 140); },
       "cell 2: points outside the file"},
      {"padded", [](DatabaseImage& i) { i.push_back(0); },
       "point data ends at 172, file holds 177 bytes"},
      {"cut", [](DatabaseImage& i) { i.resize(i.size() - 1); }, "cell 3: points outside the file"},
  };
  for (const Case& c : cases) {
    DatabaseImage image = MakeImage(4, 1, {1, 0, 2, 1});  // points end at 108 + 64 = 172
    c.spoil(image);
    const ImageVerdict verdict = ValidateImage(image);
    EXPECT_FALSE(verdict.valid) << c.name;
    EXPECT_EQ(verdict.reason, c.reason) << c.name;
  }
}

}  // namespace
}  // namespace tessor
