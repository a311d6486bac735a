#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "database/binary_file_process.h"
#include "database/mveld_file_process.h"
#include "test_files.h"

namespace tessor {
namespace {

using test::MessageRecorder;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

TEST(MobileConverter, WritesCameraLinesLatitudeFirst) {
  struct Case {
    const char* line;
    const char* converted;
  } cases[] = {
      {"11.5,48.1,7", "48.100000, 11.500000, 0, -1.0,0\r\n"},
      {"200,-95,1", "-90.000000, 180.000000, 0, -1.0,0\r\n"},
      {"  -3.25*  4", "4.000000, -3.250000, 0, -1.0,0\r\n"},
  };
  for (const Case& c : cases) {
    CMVELDFileProcess converter;
    const std::string text = std::string(c.line) + "\r\n";
    ASSERT_TRUE(converter.LoadBuffer(text.data(), text.size()));
    EXPECT_EQ(converter.output(), c.converted) << c.line;
  }
  CMVELDFileProcess converter;
  EXPECT_FALSE(converter.ParseLine(nullptr));
}

TEST(MobileConverter, OutputGrowsPastSixteenBitLineCounts) {
  TempFolder folder;
  std::string text;
  for (int i = 0; i < 70000; ++i) text += "179.123456,-89.654321," + std::to_string(i) + "\r\n";
  WriteFile(folder.File("mobile.txt"), text);
  CMVELDFileProcess converter;
  ASSERT_TRUE(converter.OpenAndRead(folder.File("mobile.txt")));
  const std::string line = "-89.654321, 179.123456, 0, -1.0,0\r\n";
  ASSERT_EQ(converter.output().size(), 70000 * line.size());
  EXPECT_EQ(converter.output().substr(69999 * line.size()), line);
}

std::string Camera(double latitude, double longitude, uint16_t direction, float vmax,
                   uint8_t type) {
  char bytes[23];
  std::memcpy(bytes, &latitude, 8);
  std::memcpy(bytes + 8, &longitude, 8);
  std::memcpy(bytes + 16, &direction, 2);
  std::memcpy(bytes + 18, &vmax, 4);
  bytes[22] = static_cast<char>(type);
  return std::string(bytes, sizeof bytes);
}

class BinaryExport : public ::testing::Test {
 protected:
  std::string list_ = std::string("x%CDB") + Camera(43.66883844, -79.37965121, 90, 50.0f, 3) +
                      Camera(-1.5, 2.25, 360, -1.0f, 255);
  const std::string expected_ =
      "Latitude,Longitude,direction,vmax,Type\r\n"
      "43.668838,-79.379651,90,50.000000,3\r\n"
      "-1.500000,2.250000,360,-1.000000,255\r\n";
  TempFolder folder_;
};

TEST_F(BinaryExport, WritesHeaderAndEveryWholeCamera) {
  for (const std::string& extra : {std::string(), std::string(10, '\x7f')}) {
    WriteFile(folder_.File("list.bin"), list_ + extra);
    CBinaryFileProcess exporter;
    exporter.set_output_path(folder_.File("out.csv"));
    ASSERT_TRUE(exporter.OpenAndRead(folder_.File("list.bin")));
    EXPECT_EQ(ReadFile(folder_.File("out.csv")), expected_) << extra.size();
  }
}

TEST_F(BinaryExport, DefaultsToOutPutCsvInTheDataFolder) {
  const char* old = std::getenv("XDG_DATA_HOME");
  const std::string saved = old == nullptr ? "" : old;
  setenv("XDG_DATA_HOME", folder_.path().c_str(), 1);
  WriteFile(folder_.File("list.bin"), list_);
  CBinaryFileProcess exporter;
  const bool ok = exporter.OpenAndRead(folder_.File("list.bin"));
  if (old == nullptr) {
    unsetenv("XDG_DATA_HOME");
  } else {
    setenv("XDG_DATA_HOME", saved.c_str(), 1);
  }
  ASSERT_TRUE(ok);
  const std::string path = folder_.path() + "/Varnelco/Tessor Series/OutPut.csv";
  EXPECT_EQ(exporter.output_path(), path);
  EXPECT_EQ(ReadFile(path), expected_);
}

TEST_F(BinaryExport, RefusesListsWithoutMagic) {
  for (const std::string& bytes :
       {std::string("x%CDA") + Camera(1, 2, 3, 4, 5), std::string("x%C")}) {
    WriteFile(folder_.File("list.bin"), bytes);
    MessageRecorder recorder;
    CBinaryFileProcess exporter;
    exporter.set_output_path(folder_.File("out.csv"));
    EXPECT_FALSE(exporter.OpenAndRead(folder_.File("list.bin")));
    EXPECT_FALSE(exporter.output_failed());
    ASSERT_EQ(recorder.messages().size(), 1u);
    EXPECT_EQ(recorder.messages()[0],
              "Zevev Iruded Evezozoz Izidavo|File format is not correct!! Please check the DB "
              "file!!");
    struct stat st {};
    EXPECT_NE(stat(folder_.File("out.csv").c_str(), &st), 0) << "nothing is written";
  }
}

TEST_F(BinaryExport, ReportsAnOutputThatCannotBeWritten) {
  WriteFile(folder_.File("list.bin"), list_);
  MessageRecorder recorder;
  CBinaryFileProcess exporter;
  exporter.set_output_path(folder_.File("no-such-folder/out.csv"));
  EXPECT_FALSE(exporter.OpenAndRead(folder_.File("list.bin")));
  EXPECT_TRUE(exporter.output_failed());
  ASSERT_EQ(recorder.messages().size(), 1u);
  EXPECT_EQ(recorder.messages()[0],
            std::string("Zevev Iruded Evezozoz Izidavo|") + std::strerror(ENOENT));
}

TEST_F(BinaryExport, ReportsAWriteThatFails) {
  // /dev/full takes the open and refuses every byte, as a full disk does.
  WriteFile(folder_.File("list.bin"), list_);
  MessageRecorder recorder;
  CBinaryFileProcess exporter;
  exporter.set_output_path("/dev/full");
  EXPECT_FALSE(exporter.OpenAndRead(folder_.File("list.bin")));
  EXPECT_TRUE(exporter.output_failed());
  ASSERT_EQ(recorder.messages().size(), 1u);
  EXPECT_EQ(recorder.messages()[0],
            std::string("Zevev Iruded Evezozoz Izidavo|") + std::strerror(ENOSPC));
}

}  // namespace
}  // namespace tessor
