#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/device_engine.h"
#include "engine/string_table.h"
#include "recording_observer.h"

namespace tessor {
namespace {

class Commands : public ::testing::Test {
 protected:
  // The text a command builds to, or "#<code>" when it is refused.
  std::string Build(int number) {
    char buffer[kCommandBufferSize] = {};
    const int result = engine_.BuildCommand(number, buffer);
    return result == kResultOk ? std::string(buffer) : "#" + std::to_string(result);
  }

  CDeviceEngine engine_;
};

TEST_F(Commands, FixedAndSimpleSentences) {
  CommandArgs& a = engine_.args;
  a.request_address = 65536;
  a.request_format = 2;
  a.request_count = 540;
  a.log_switch = 7;
  a.nmea_switch = 0;
  a.speed_filter = -1;
  a.link_mode = LinkMode::kLink;
  a.poi_first = -1;
  a.poi_count = 0;
  a.read_address = 40;
  a.read_count = 32;
  a.alert_values[1] = 500;
  a.alert_values[2] = 1000;
  struct Case {
    int number;
    const char* text;
  } cases[] = {
      {2, "$PKVN002"},
      {3, "$PKVN003"},
      {4, "$PKVN004"},
      {100, "$PKVN100"},
      {107, "$PKVN107"},
      {108, "$PKVN108"},
      {111, "$PKVN111"},
      {1000, "$PSRF107"},
      {102, "$PKVN102,65536,2,540"},
      {103, "$PKVN103,1,0"},  // each switch goes as 1 when non-zero
      {105, "$PKVN105,-1"},
      {113, "$PKVN113,3"},
      {114, "$PKVN114,-1,0"},
      {115, "$PKVN115,40,32"},
      {116, "$PKVN116,4096,500,1000,40"},
  };
  for (const Case& c : cases) EXPECT_EQ(Build(c.number), c.text) << c.number;
}

TEST_F(Commands, UnknownNumbersAreRefused) {
  for (int n : {0, 5, 99, 112, 117, 998, 1001, -1}) EXPECT_EQ(Build(n), "#10") << n;
}

TEST_F(Commands, ArgumentChecks) {
  CommandArgs& a = engine_.args;
  engine_.config.track_header_count = 4;
  a.header_index = 4;
  EXPECT_EQ(Build(101), "$PKVN101,4") << "the count itself is still sent";
  a.header_index = 5;
  EXPECT_EQ(Build(101), "#9");
  a.header_index = -1;
  EXPECT_EQ(Build(101), "#9");

  a.erase_value = -3;
  EXPECT_EQ(Build(109), "$PKVN109,-3");
  a.erase_value = -4;
  EXPECT_EQ(Build(109), "#9");
  a.erase_value = 65535;
  EXPECT_EQ(Build(109), "$PKVN109,65535");
  a.erase_value = 65536;
  EXPECT_EQ(Build(109), "#9");

  a.log_type = 1;
  a.log_interval = 4000000000u;
  a.data_type = 2;
  a.memory_full = 1;
  EXPECT_EQ(Build(104), "$PKVN104,1,4000000000,2,1");
  a.data_type = 3;
  EXPECT_EQ(Build(104), "#9");
  a.data_type = 0;
  a.log_type = 2;
  EXPECT_EQ(Build(104), "#9");
  a.log_type = 0;
  a.memory_full = 2;
  EXPECT_EQ(Build(104), "#9");
}

TEST_F(Commands, DateAndTime) {
  CommandArgs& a = engine_.args;
  a.year = 2026, a.month = 12, a.day = 8, a.hour = 23, a.minute = 5, a.second = 9;
  EXPECT_EQ(Build(1), "$PKVN001,230509,20261208");
  a.hour = 24;
  EXPECT_EQ(Build(1), "#9");
  a.hour = 0, a.month = 13;
  EXPECT_EQ(Build(1), "#9");
  a.month = 1, a.day = 32;
  EXPECT_EQ(Build(1), "#9");
  a.day = 1, a.minute = 61;
  EXPECT_EQ(Build(1), "#9");
}

TEST_F(Commands, StoredPositionFormatsBySign) {
  struct Case {
    float lat, lon;
    const char* text;
  } cases[] = {
      {-25.5f, -121.25f, "$PKVN106,-25500000,-121250000,7"},
      {-25.5f, 121.25f, "$PKVN106,-25500000,121250000,7"},
      {25.5f, 121.25f, "$PKVN106,25500000,121250000,7"},
      {25.5f, -79.25f, "$PKVN106,25500000,-079250000,7"},
      {5.5f, 9.25f, "$PKVN106,05500000,009250000,7"},
      // Integer part 0: the sign is kept in front of the zeros.
      {-0.5f, 0.25f, "$PKVN106,-00500000,000250000,7"},
      {0.5f, -0.25f, "$PKVN106,00500000,-000250000,7"},
      {0.0f, 0.0f, "$PKVN106,000,0000,7"},
  };
  engine_.args.position_value = 7;
  for (const Case& c : cases) {
    engine_.args.position_latitude = c.lat;
    engine_.args.position_longitude = c.lon;
    EXPECT_EQ(Build(106), c.text) << c.lat << "," << c.lon;
  }
  engine_.args.position_latitude = 90.5f;
  EXPECT_EQ(Build(106), "#9");
  engine_.args.position_latitude = 0;
  engine_.args.position_longitude = -180.5f;
  EXPECT_EQ(Build(106), "#9");
}

TEST_F(Commands, AlertTextIsBounded) {
  engine_.args.alert_text_flag = true;
  EXPECT_EQ(Build(110), "$PKVN110,1,0");
  engine_.args.alert_text_flag = false;
  engine_.args.alert_text = std::string(80, 'T');
  EXPECT_EQ(Build(110), "$PKVN110,0," + std::string(kAlertTextMax, 'T'));
}

TEST_F(Commands, BlockUploadPayload) {
  CommandArgs& a = engine_.args;
  const uint8_t data[] = {0x01, '%', 'C', 'D', 'B', 0xFF, '%', 'C', 'D', 'B'};
  std::memcpy(a.block_data, data, sizeof data);
  a.block_address = 4096;
  uint8_t x = 0;
  for (uint8_t b : data) x ^= b;
  char xor_hex[3];
  std::snprintf(xor_hex, sizeof xor_hex, "%02X", x);

  a.block_count = sizeof data;
  EXPECT_EQ(Build(999), std::string("$PKVN999,4096,01%CDBFF%CDB") + xor_hex);
  // "%CDB" that ends in the last three bytes is plain hex.
  a.block_count = sizeof data - 1;
  x ^= 'B';
  std::snprintf(xor_hex, sizeof xor_hex, "%02X", x);
  EXPECT_EQ(Build(999), std::string("$PKVN999,4096,01%CDBFF254344") + xor_hex);
  // A count above the block's room is cut to it.
  a.block_count = 1000;
  // 01, two literal "%CDB", FF and 118 zero bytes as hex, then the XOR.
  EXPECT_EQ(Build(999).size(), std::string("$PKVN999,4096,").size() + 2 + 4 + 2 + 4 + 236 + 2);
}

TEST_F(Commands, SendingCopiesSettingsAndReportsAFailedWrite) {
  test::RecordingObserver observer;
  engine_.SetObserver(&observer);
  engine_.args.log_type = 1;
  engine_.args.log_interval = 30;
  engine_.args.data_type = 2;
  engine_.args.memory_full = 1;
  engine_.args.speed_filter = 12;
  // No port is open: the write fails, the engine's copy still follows.
  EXPECT_EQ(engine_.SendCommand(104), kResultWriteFailed);
  EXPECT_EQ(engine_.SendCommand(105), kResultWriteFailed);
  EXPECT_EQ(engine_.config.log_interval, 30u);
  EXPECT_EQ(engine_.config.data_type, 2);
  EXPECT_EQ(engine_.config.speed_filter, 12);
  EXPECT_EQ(observer.lines(), std::vector<std::string>{LoadString(kStrSendFailed)})
      << "a repeated line is not added twice";
  EXPECT_EQ(engine_.SendCommand(55), kResultUnknownCommand);
  engine_.args.poi_first = 3;
  engine_.SendCommand(114);
  EXPECT_FALSE(engine_.poi.count_query);
  engine_.args.poi_first = -1;
  engine_.SendCommand(114);
  EXPECT_TRUE(engine_.poi.count_query);
}

}  // namespace
}  // namespace tessor
