// Scenario files and generated tracks.

#include "tools/devsim/scenario.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>

#include "tools/devsim/device_model.h"
#include "tools/devsim/track_generator.h"

namespace tessor::devsim::test {
namespace {

namespace fs = std::filesystem;

float FloatAt(const std::vector<uint8_t>& bytes, size_t at) {
  float v;
  std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

TEST(GeneratedTrack, RecordLayoutOfEachFormat) {
  DrivePlan plan;
  plan.points = 2;
  plan.start_s = 8 * 3600 + 30 * 60 + 15;
  for (int format : {0, 1, 2}) {
    const auto bytes = GenerateTrack(plan, format);
    ASSERT_EQ(bytes.size(), 2 * RecordSize(format)) << format;
    EXPECT_EQ(bytes[1], 8);
    EXPECT_EQ(bytes[2], 30);
    EXPECT_EQ(bytes[3], 15);
    EXPECT_FLOAT_EQ(FloatAt(bytes, 4), static_cast<float>(25.0345 * std::numbers::pi / 180));
    EXPECT_FLOAT_EQ(FloatAt(bytes, 8), static_cast<float>(121.5644 * std::numbers::pi / 180));
    if (format >= 1) {
      EXPECT_NEAR(FloatAt(bytes, 12), 35.5f, 0.01f);
    }
    if (format == 2) {
      EXPECT_FLOAT_EQ(FloatAt(bytes, 16), 36.0f);
    }
  }
}

TEST(GeneratedTrack, TimeOfDayWrapsAtMidnightAndThePathMoves) {
  DrivePlan plan;
  plan.points = 3;
  plan.start_s = 86399;
  plan.step_s = 1;
  const auto bytes = GenerateTrack(plan, 0);
  EXPECT_EQ(std::vector<int>({bytes[1], bytes[2], bytes[3]}), std::vector<int>({23, 59, 59}));
  EXPECT_EQ(std::vector<int>({bytes[13], bytes[14], bytes[15]}), std::vector<int>({0, 0, 0}));
  EXPECT_EQ(bytes[27], 1);
  EXPECT_GT(FloatAt(bytes, 28), FloatAt(bytes, 4));
  EXPECT_GT(FloatAt(bytes, 32), FloatAt(bytes, 8));
}

class ScenarioFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("devsim-scenario-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_ / "data");
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  fs::path dir_;
};

TEST_F(ScenarioFile, MembersAndPathsRelativeToTheFile) {
  Write("data/image.bin", "%CDB1234");
  Write("data/track.bin", std::string(45, 'x'));  // two 20-byte records and a partial one
  Write("data/s.json", R"({"name": "Unit 7", "firmware": 208, "capacity": 1048576, "battery": 0,
    "flash_usage": [1, 2, 3, 4], "config": [1,2,1,1,9,0,-1,99,0,10,11,12,13,14],
    "database": "image.bin", "erase_reports_ms": 10,
    "tracks": [{"date": 70314, "format": 2, "records": "track.bin"}, {"refused": true},
               {"date": 70315, "format": 0, "generate": {"points": 4, "start": "23:59:58"}}],
    "faults": {"busy": {"command": 101, "times": 3}, "silent": [{"command": 100, "times": 2}],
               "refuse_requests": [2], "stop_blocks_after": 240, "not_busy_reports": true,
               "late": {"command": 115, "requests": [3], "delay_ms": 3500}}})");
  const Scenario s = LoadScenario(dir_ / "data/s.json");
  EXPECT_EQ(s.name, "Unit 7");
  EXPECT_EQ(s.firmware, 208);
  EXPECT_EQ(s.database, std::vector<uint8_t>({'%', 'C', 'D', 'B', '1', '2', '3', '4'}));
  ASSERT_EQ(s.tracks.size(), 3u);
  EXPECT_EQ(s.tracks[0].records.size(), 40u);
  EXPECT_TRUE(s.tracks[1].refused);
  EXPECT_EQ(s.tracks[2].records.size(), 48u);
  ASSERT_EQ(s.faults.busy.size(), 1u);
  EXPECT_EQ(s.faults.busy[0].times, 3u);
  EXPECT_EQ(s.faults.silent[0].command, 100);
  EXPECT_EQ(*s.faults.stop_blocks_after, 240u);
  EXPECT_TRUE(s.faults.not_busy_reports);
  ASSERT_EQ(s.faults.late.size(), 1u);
  EXPECT_EQ(s.faults.late[0].command, 115);
  EXPECT_EQ(s.faults.late[0].requests, std::vector<uint32_t>({3}));
  EXPECT_EQ(s.faults.late[0].delay_ms, 3500u);

  // The track count answered is that of the tracks listed, not the config's.
  const DeviceModel model(s);
  EXPECT_EQ(model.config()[7], 3);
  EXPECT_EQ(model.track(2).address, 40u);
  EXPECT_EQ(model.track(2).count, 4u);
  EXPECT_EQ(model.FlashUsage(), (std::array<uint32_t, 4>{1, 2, 3, 4}));
}

TEST_F(ScenarioFile, DefaultsMakeAFirmware209DeviceWithoutDatabaseOrTracks) {
  Write("s.json", "{}");
  const Scenario s = LoadScenario(dir_ / "s.json");
  EXPECT_EQ(s.firmware, 209);
  const DeviceModel model(s);
  EXPECT_EQ(model.track_count(), 0u);
  EXPECT_TRUE(model.DatabaseDump().empty());
  std::vector<uint8_t> header;
  ASSERT_TRUE(model.ReadDatabase(kDatabaseMemorySize - 40, 40, &header));
  EXPECT_EQ(header, std::vector<uint8_t>(40, 0xFF));
}

TEST_F(ScenarioFile, ErrorsNameTheProblem) {
  Write("bad.json", "{\"tracks\": [{\"format\": 5}]}");
  Write("missing.json", "{\"database\": \"nowhere.bin\"}");
  Write("time.json", R"({"tracks": [{"generate": {"points": 1, "start": "25:00:00"}}]})");
  Write("syntax.json", "{");
  for (const char* name : {"bad.json", "missing.json", "time.json", "syntax.json", "absent.json"}) {
    EXPECT_THROW(LoadScenario(dir_ / name), std::runtime_error) << name;
  }
}

}  // namespace
}  // namespace tessor::devsim::test
