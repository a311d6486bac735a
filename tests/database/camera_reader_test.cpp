#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>

#include "database/camera_file_process.h"
#include "database/extract_field.h"
#include "test_files.h"

namespace tessor {
namespace {

using test::MessageRecorder;
using test::TempFolder;
using test::WriteFile;

constexpr const char* kHeader = "Latitude,Longitude,direction,vmax,Type\r\n";
constexpr float kRad = 0.017453292f;

std::vector<CCameraInfo> ReadCameras(const std::string& text, bool* ok = nullptr) {
  TempFolder folder;
  WriteFile(folder.File("cameras.csv"), text);
  CCameraInfoFileProcess reader;
  const bool result = reader.OpenAndRead(folder.File("cameras.csv"));
  if (ok != nullptr) *ok = result;
  std::vector<CCameraInfo>* cameras = nullptr;
  if (!reader.GetCameras(&cameras)) return {};
  return *cameras;
}

TEST(ExtractField, CutsAtDelimitersAndStaysInsideItsBuffer) {
  struct Case {
    const char* text;
    const char* field;
    const char* rest;  // nullptr: no further cursor
  } cases[] = {
      {"12.5,8.3", "12.5", "8.3"}, {"abc*def", "abc", "def"}, {"last", "last", ""}, {",x", "", "x"},
      {"", "", nullptr},
  };
  for (const Case& c : cases) {
    char out[16];
    const char* rest = ExtractField(c.text, out);
    EXPECT_STREQ(out, c.field) << c.text;
    if (c.rest == nullptr) {
      EXPECT_EQ(rest, nullptr) << c.text;
    } else {
      ASSERT_NE(rest, nullptr) << c.text;
      EXPECT_STREQ(rest, c.rest) << c.text;
    }
  }
  char out[4];
  EXPECT_EQ(ExtractField(nullptr, out), nullptr);
  EXPECT_STREQ(out, "");

  // A field longer than the buffer is cut, and the cursor still moves past it.
  char small[8];
  std::memset(small, 'Z', sizeof small);
  const char* rest = ExtractField("0123456789abcdef,next", small);
  EXPECT_STREQ(small, "0123456");
  ASSERT_NE(rest, nullptr);
  EXPECT_STREQ(rest, "next");
}

TEST(CameraInfo, SettersStoreRadiansOnlyInRange) {
  CCameraInfo camera;
  EXPECT_EQ(camera.latitude, 0.0f);
  EXPECT_TRUE(camera.SetLatitude(90.0));
  EXPECT_FLOAT_EQ(camera.latitude, 90.0f * kRad);
  EXPECT_FALSE(camera.SetLatitude(90.5));
  EXPECT_FALSE(camera.SetLatitude(NAN));
  EXPECT_FLOAT_EQ(camera.latitude, 90.0f * kRad);
  EXPECT_TRUE(camera.SetLongitude(-180.0));
  EXPECT_FALSE(camera.SetLongitude(180.01));
  EXPECT_FLOAT_EQ(camera.longitude, -180.0f * kRad);
}

TEST(CameraReader, ReadsEveryLineWhateverItsLineEnd) {
  const std::string crlf = "1.0,2.0,3,50,1\r\n4.0,5.0,6,60,2\r\n7.0,8.0,9,70,3\r\n";
  std::string lf = crlf;
  std::erase(lf, '\r');
  struct Case {
    const char* name;
    std::string text;
  } cases[] = {
      {"CR LF", kHeader + crlf},
      {"last line without an end", kHeader + crlf.substr(0, crlf.size() - 2)},
      {"LF only", "Latitude,Longitude,direction,vmax,Type\n" + lf},
      {"LF only, last line without an end",
       "Latitude,Longitude,direction,vmax,Type\n" + lf.substr(0, lf.size() - 1)},
      {"mixed", std::string(kHeader) + "1.0,2.0,3,50,1\n4.0,5.0,6,60,2\r\n7.0,8.0,9,70,3"},
  };
  for (const Case& c : cases) {
    MessageRecorder recorder;
    bool ok = false;
    const auto cameras = ReadCameras(c.text, &ok);
    EXPECT_TRUE(ok) << c.name;
    ASSERT_EQ(cameras.size(), 3u) << c.name;
    EXPECT_FLOAT_EQ(cameras[1].latitude, 4.0f * kRad) << c.name;
    EXPECT_FLOAT_EQ(cameras[2].latitude, 7.0f * kRad) << c.name;
    EXPECT_EQ(cameras[2].type, 3) << c.name;
    EXPECT_TRUE(recorder.messages().empty()) << c.name;
  }
}

TEST(CameraReader, BlankLinesFillNoRecord) {
  MessageRecorder recorder;
  CCameraInfoFileProcess reader;
  const std::string text =
      std::string(kHeader) + "1,2,0,50,1\r\n\r\n  \t\r\n3,4,0,60,2\r\n\r\n\n\r\n";
  ASSERT_TRUE(reader.LoadBuffer(text.data(), text.size()));
  std::vector<CCameraInfo>* cameras = nullptr;
  ASSERT_TRUE(reader.GetCameras(&cameras));
  ASSERT_EQ(cameras->size(), 2u);
  EXPECT_EQ(reader.record_count(), 2u);
  EXPECT_FLOAT_EQ((*cameras)[1].latitude, 3.0f * kRad);
  EXPECT_EQ(reader.bad_lines(), 0u);
  EXPECT_TRUE(recorder.messages().empty());
}

// A line that holds no position, or a number that is not finite, is counted
// and reported once with the first one's line number; it is not stored.
TEST(CameraReader, RefusesLinesWithoutAPositionOrWithNonFiniteNumbers) {
  MessageRecorder recorder;
  CCameraInfoFileProcess reader;
  const std::string text = std::string(kHeader) +
                           "1,2,0,50,1\r\n"
                           "nan,2,0,50,1\r\n"      // line 3
                           "1,inf,0,50,1\r\n"      // line 4
                           "1,2,0,nan,1\r\n"       // line 5
                           "1,2,0,-INF,1\r\n"      // line 6
                           "1,2,0,1e39,1\r\n"      // too big for the speed's float
                           "1e999,2,0,50,1\r\n"    // overflows to infinity
                           "48.5\r\n"              // no longitude
                           ",,,,\r\n"              // no position at all
                           "5,6,0,nonsense,1\r\n"  // a speed that is no number reads 0
                           "7,8,0,-1,2\r\n";
  ASSERT_TRUE(reader.LoadBuffer(text.data(), text.size()));
  std::vector<CCameraInfo>* cameras = nullptr;
  ASSERT_TRUE(reader.GetCameras(&cameras));
  ASSERT_EQ(cameras->size(), 3u);
  for (const CCameraInfo& c : *cameras) {
    EXPECT_TRUE(std::isfinite(c.latitude) && std::isfinite(c.longitude) && std::isfinite(c.vmax));
    EXPECT_NE(c.latitude, 0.0f);
  }
  EXPECT_EQ((*cameras)[1].vmax, 0.0f);
  EXPECT_EQ((*cameras)[2].vmax, -1.0f);
  EXPECT_EQ(reader.bad_lines(), 8u);
  EXPECT_EQ(reader.first_bad_line(), 3u);
  EXPECT_EQ(recorder.messages(),
            std::vector<std::string>{"Zevev Iruded Evezozoz Izidavo|8 lines hold no usable record "
                                     "and were skipped; the first is line 3."});
}

TEST(CameraReader, ClampsPositionsAndDropsBadDirections) {
  auto cameras = ReadCameras(std::string(kHeader) +
                             "95.0,200.0,400,50,2\r\n"
                             "-95,-200,-5,-1.0,-1\r\n"
                             "12.5,8.3\r\n"
                             "10,20,360,30,7\r\n");
  ASSERT_EQ(cameras.size(), 4u);
  EXPECT_FLOAT_EQ(cameras[0].latitude, 90.0f * kRad);
  EXPECT_FLOAT_EQ(cameras[0].longitude, 180.0f * kRad);
  EXPECT_EQ(cameras[0].direction, 0);
  EXPECT_EQ(cameras[0].vmax, 50.0f);
  EXPECT_EQ(cameras[0].type, 2);
  EXPECT_FLOAT_EQ(cameras[1].latitude, -90.0f * kRad);
  EXPECT_FLOAT_EQ(cameras[1].longitude, -180.0f * kRad);
  EXPECT_EQ(cameras[1].direction, 0);
  EXPECT_EQ(cameras[1].vmax, -1.0f);
  EXPECT_EQ(cameras[1].type, 65535);
  EXPECT_EQ(cameras[2].direction, 0);
  EXPECT_EQ(cameras[2].vmax, 0.0f);
  EXPECT_EQ(cameras[2].type, 0);
  EXPECT_EQ(cameras[3].direction, 360);
}

TEST(CameraReader, SkipsLinesNamingLatitude) {
  auto cameras = ReadCameras(std::string(kHeader) + "1,1,0,0,0\r\nLatitude again\r\n2,2,0,0,0\r\n");
  // The skipped line fills no record, and no record is left unfilled.
  ASSERT_EQ(cameras.size(), 2u);
  EXPECT_FLOAT_EQ(cameras[1].latitude, 2.0f * kRad);
}

TEST(CameraReader, RefusesFilesWithoutHeaderOrLines) {
  struct Case {
    const char* name;
    std::string text;
    bool message;
  } cases[] = {
      {"no header", "1,2,3,4,5\r\n6,7,8,9,0\r\n", true},
      {"header only", kHeader, false},
      {"header and blank lines", std::string(kHeader) + "\r\n \r\n\n", false},
      {"no line end at all", "Latitude,Longitude,direction,vmax,Type", false},
      {"empty", "", false},
  };
  for (const Case& c : cases) {
    MessageRecorder recorder;
    bool ok = true;
    ReadCameras(c.text, &ok);
    EXPECT_FALSE(ok) << c.name;
    if (c.message) {
      ASSERT_EQ(recorder.messages().size(), 1u) << c.name;
      EXPECT_EQ(recorder.messages()[0],
                "Zevev Iruded Evezozoz Izidavo|File format is not correct!! Please check the DB "
                "file!!");
    } else {
      EXPECT_TRUE(recorder.messages().empty()) << c.name;
    }
  }
}

TEST(CameraReader, ReadsSeventyThousandLinesWhole) {
  std::string text = kHeader;
  for (int i = 0; i < 70000; ++i) {
    text += std::to_string(i % 90) + "." + std::to_string(i % 1000) + ",1,0,0," +
            std::to_string(i % 60000) + "\r\n";
  }
  auto cameras = ReadCameras(text);
  // A 16-bit count would have kept only 4464 of them.
  ASSERT_EQ(cameras.size(), 70000u);
  EXPECT_EQ(cameras[69999].type, 69999 % 60000);
  EXPECT_FLOAT_EQ(cameras[69999].latitude, std::strtof("69.999", nullptr) * kRad);
}

TEST(CameraReader, CutsLongLinesWithoutMakingRecordsOfTheExcess) {
  std::string text = kHeader;
  for (size_t length : {511u, 512u, 2000u}) {
    std::string line = "1.5,2.5,10,50,1,";
    // The excess holds numbers, so a line cut into pieces would be noticed.
    while (line.size() < length) line += "9,";
    line.resize(length);
    text += line + "\r\n";
  }
  text += "3.5,4.5,20,60,2\r\n";
  auto cameras = ReadCameras(text);
  ASSERT_EQ(cameras.size(), 4u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FLOAT_EQ(cameras[i].latitude, 1.5f * kRad) << i;
    EXPECT_EQ(cameras[i].type, 1) << i;
  }
  EXPECT_FLOAT_EQ(cameras[3].latitude, 3.5f * kRad);
  EXPECT_EQ(cameras[3].type, 2);
}

TEST(CameraReader, SurvivesNulAndHighBytes) {
  std::string text = kHeader;
  text += std::string("1.0,2.0\0,7,8,9\r\n", 16);
  text += "\xff\xfe,\xff,\xff\xff\r\n";
  text += "5.0,6.0,0,0,4\r\n";
  MessageRecorder recorder;
  auto cameras = ReadCameras(text);
  // The line of high bytes holds no position: refused, not a camera at 0 degrees.
  ASSERT_EQ(cameras.size(), 2u);
  EXPECT_FLOAT_EQ(cameras[0].longitude, 2.0f * kRad);
  EXPECT_EQ(cameras[0].type, 0);  // the line ends at its NUL
  EXPECT_EQ(cameras[1].type, 4);
  EXPECT_EQ(recorder.messages().size(), 1u);
}

TEST(CameraReader, ReportsMissingAndUnreadableFiles) {
  TempFolder folder;
  struct Case {
    std::string path;
    int error;
  } cases[] = {{folder.File("missing.csv"), ENOENT}, {folder.path(), EISDIR}};
  for (const Case& c : cases) {
    MessageRecorder recorder;
    CCameraInfoFileProcess reader;
    EXPECT_FALSE(reader.OpenAndRead(c.path)) << c.path;
    EXPECT_EQ(reader.last_error(), static_cast<uint32_t>(c.error));
    ASSERT_EQ(recorder.messages().size(), 1u);
    EXPECT_EQ(recorder.messages()[0],
              std::string("Zevev Iruded Evezozoz Izidavo|") + std::strerror(c.error));
    std::vector<CCameraInfo>* cameras = nullptr;
    EXPECT_FALSE(reader.GetCameras(&cameras));
  }
}

TEST(CameraReader, LoadsFromABuffer) {
  const std::string text = std::string(kHeader) + "1,2,3,4,5\r\n";
  CCameraInfoFileProcess reader;
  ASSERT_TRUE(reader.LoadBuffer(text.data(), text.size()));
  std::vector<CCameraInfo>* cameras = nullptr;
  ASSERT_TRUE(reader.GetCameras(&cameras));
  ASSERT_EQ(cameras->size(), 1u);
  EXPECT_EQ((*cameras)[0].type, 5);
}

}  // namespace
}  // namespace tessor
