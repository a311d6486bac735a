// Every file format and sentence the core reads or writes keeps decimal
// points while the process runs under a locale whose decimal mark is a comma,
// as the desktop program does for a German user.
#include "comma_locale.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "../database/test_files.h"
#include "database/binary_file_process.h"
#include "database/camera_file_process.h"
#include "database/mveld_file_process.h"
#include "logger/nmea_conversion.h"
#include "poi/poi_file.h"
#include "poi/poi_rules.h"

namespace tessor {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

constexpr float kRad = 0.017453292f;

class CommaLocaleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(comma_.active()) << comma_.why_not();
    // The fixture is only worth something if the locale really uses a comma.
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", 1.5);
    ASSERT_STREQ(text, "1,5");
  }

  test::CommaLocale comma_;
};

TEST_F(CommaLocaleTest, CameraListReadsDecimals) {
  const std::string text =
      "Latitude,Longitude,direction,vmax,Type\r\n48.123456,11.654321,90,62.5,1\r\n";
  CCameraInfoFileProcess reader;
  ASSERT_TRUE(reader.LoadBuffer(text.data(), text.size()));
  std::vector<CCameraInfo>* cameras = nullptr;
  ASSERT_TRUE(reader.GetCameras(&cameras));
  ASSERT_EQ(cameras->size(), 1u);
  EXPECT_FLOAT_EQ((*cameras)[0].latitude, 48.123456f * kRad);
  EXPECT_FLOAT_EQ((*cameras)[0].longitude, 11.654321f * kRad);
  EXPECT_EQ((*cameras)[0].vmax, 62.5f);
}

TEST_F(CommaLocaleTest, PoiFileReadsAndWritesDecimalPoints) {
  TempFolder folder;
  const std::string text =
      "Latitude,Longitude,direction,vmax,Type,Comments\r\n"
      "48.125000,11.625000,0,-1.000000,0,home, garage\r\n"
      "48.500000,11.250000,90,50.500000,1,work\r\n";
  WriteFile(folder.File("POI.csv"), text);
  CPOIFileProcess reader;
  ASSERT_TRUE(reader.OpenAndRead(folder.File("POI.csv")));
  std::vector<CPOI>* pois = nullptr;
  ASSERT_TRUE(reader.GetPois(&pois));
  ASSERT_EQ(pois->size(), 2u);
  EXPECT_FLOAT_EQ((*pois)[0].latitude, 48.125f * kRad);
  EXPECT_EQ((*pois)[1].vmax, 50.5f);
  std::vector<CPOI> records;
  PoiList list;
  BuildPoiList(pois->data(), reader.record_count(), {-3.2f, -1.6f, 3.2f, 1.6f}, records, list);
  ASSERT_TRUE(WritePoiFile(folder.File("saved.csv"), list, false));
  EXPECT_EQ(ReadFile(folder.File("saved.csv")), text);
}

TEST_F(CommaLocaleTest, MobileListConvertsWithDecimalPoints) {
  const std::string text = "11.5,48.1,7\r\n";
  CMVELDFileProcess converter;
  ASSERT_TRUE(converter.LoadBuffer(text.data(), text.size()));
  EXPECT_EQ(converter.output(), "48.100000, 11.500000, 0, -1.0,0\r\n");
}

TEST_F(CommaLocaleTest, BinaryListExportsDecimalPoints) {
  TempFolder folder;
  std::string list = "x%CDB";
  const double position[2] = {43.5, -79.25};
  const uint16_t direction = 90;
  const float vmax = 60.5f;
  list.append(reinterpret_cast<const char*>(position), 16);
  list.append(reinterpret_cast<const char*>(&direction), 2);
  list.append(reinterpret_cast<const char*>(&vmax), 4);
  list.push_back('\x02');
  WriteFile(folder.File("list.bin"), list);
  CBinaryFileProcess exporter;
  exporter.set_output_path(folder.File("out.csv"));
  ASSERT_TRUE(exporter.OpenAndRead(folder.File("list.bin")));
  EXPECT_EQ(ReadFile(folder.File("out.csv")),
            "Latitude,Longitude,direction,vmax,Type\r\n43.500000,-79.250000,90,60.500000,2\r\n");
}

TEST_F(CommaLocaleTest, NmeaSentencesKeepDecimalPoints) {
  // 25.0345 N, 121.5644 E, 35.5 m, 18.52 km/h at 08:30:15.
  std::vector<uint8_t> record = {0, 8, 30, 15};
  for (const uint32_t bits : {0x3edfb5dfu, 0x4007c9ebu, 0x420e0000u, 0x419428f6u}) {
    for (int shift = 0; shift < 32; shift += 8) record.push_back((bits >> shift) & 0xFF);
  }
  std::vector<std::string> lines;
  ConvertRecords(
      70314, 2, record, [&](std::string_view line) { lines.emplace_back(line); },
      [](const std::string&) {});
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            "$GPGGA,083015.000,2502.0700,N,12133.8644,E,1,00,,0035.5,M,0.0,M,,0000*70\r\n");
  EXPECT_EQ(lines[1],
            "$GPRMC,083015.000,A,2502.0700,N,12133.8644,E,010.00,15.15,140307,,,E*5B\r\n");
}

}  // namespace
}  // namespace tessor
