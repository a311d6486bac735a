// Each command's answer, over a real pty.

#include <gmock/gmock.h>

#include "sim_harness.h"

namespace tessor::devsim::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

Scenario LoggerScenario() {
  Scenario s = WithTrack(10, 1);
  TrackSource refused;
  refused.refused = true;
  s.tracks.push_back(refused);
  s.tracks.push_back(WithTrack(5, 0).tracks[0]);
  s.name = "Road Logger";
  s.firmware = 208;
  s.capacity = 4194304;
  s.battery = 0;
  s.erase_reports_ms = 500;
  return s;
}

class CommandsTest : public SimTest {
 protected:
  void SetUp() override { Run(LoggerScenario()); }
};

TEST_F(CommandsTest, StatusQueries) {
  EXPECT_EQ(Answer("$PKVN004"), "$LOG004,0");
  // Bytes used (160 + 60), log size, tracks, percent.
  EXPECT_EQ(Answer("$PKVN100"), "$LOG100,220,8388608,3,0");
  EXPECT_EQ(Answer("$PKVN111"), "$LOG111,11,Road Logger");
  EXPECT_THAT(Answer("$PKVN003"), "$LOG003,1");
}

TEST_F(CommandsTest, IdentificationCarriesFirmwareTenAfterVerThenCapacity) {
  client_->Send("$PSRF107");
  const auto id = client_->Next();
  const auto capacity = client_->Next();
  ASSERT_TRUE(id && capacity);
  EXPECT_THAT(id->text, HasSubstr("Varnelco"));
  const size_t ver = id->text.find("Ver");
  ASSERT_NE(ver, std::string::npos);
  EXPECT_EQ(id->text.substr(ver + 10, 3), "208");
  EXPECT_THAT(capacity->text, HasSubstr("Capacity=4194304"));
  EXPECT_EQ(capacity->text.find(','), capacity->text.find("Capacity") - 1);
}

TEST_F(CommandsTest, TrackHeadersWithRefusedAndOutOfRange) {
  EXPECT_EQ(Answer("$PKVN101,0"), "$LOG101,70314,1,10,0");
  EXPECT_EQ(Answer("$PKVN101,1"), "$LOG101,0");
  EXPECT_EQ(Answer("$PKVN101,2"), "$LOG101,70314,0,5,160");
  EXPECT_EQ(Answer("$PKVN101,3"), "$LOG101,0");
}

TEST_F(CommandsTest, ConfigurationFollowsWhat104And105Set) {
  EXPECT_EQ(Answer("$PKVN108"), "$LOG108,2,0,1,0,5,0,0,3,0,4096,300,800,3,40");
  EXPECT_EQ(Answer("$PKVN104,1,30,0,0"), "$LOG104,1");
  EXPECT_EQ(Answer("$PKVN105,-1"), "$LOG105,1");
  EXPECT_EQ(Answer("$PKVN108"), "$LOG108,0,0,0,1,30,0,-1,3,0,4096,300,800,3,40");
  // Out-of-range settings are refused and change nothing.
  EXPECT_EQ(Answer("$PKVN104,2,30,0,0"), "$LOG104,0");
  EXPECT_EQ(Answer("$PKVN104,0,30,3,0"), "$LOG104,0");
  EXPECT_EQ(Answer("$PKVN108"), "$LOG108,0,0,0,1,30,0,-1,3,0,4096,300,800,3,40");
}

TEST_F(CommandsTest, StoredPositionRoundTrip) {
  EXPECT_EQ(Answer("$PKVN106,2534500,121564400,7"), "$LOG106,1");
  EXPECT_EQ(Answer("$PKVN107"), "$LOG107,25034500,121564400,7");
  EXPECT_EQ(Answer("$PKVN106,-33868800,-151209300,-2"), "$LOG106,1");
  EXPECT_EQ(Answer("$PKVN107"), "$LOG107,-33868800,-151209300,-2");
  EXPECT_EQ(Answer("$PKVN106,9500,121564400,7"), "$LOG106,0");
}

TEST_F(CommandsTest, LogSwitchesAndModes) {
  EXPECT_EQ(Answer("$PKVN103,0,0"), "$LOG103,1");
  EXPECT_EQ(Answer("$PKVN003"), "$LOG003,0");
  EXPECT_EQ(Answer("$PKVN103,2,0"), "$LOG103,0");
  EXPECT_EQ(Answer("$PKVN113,3"), "$LOG113,1");
  EXPECT_EQ(Answer("$PKVN113,2"), "$LOG113,1");
  EXPECT_EQ(Answer("$PKVN113,7"), "$LOG113,0");
  EXPECT_EQ(Answer("$PKVN110,1,0"), "$LOG110,1");
}

TEST_F(CommandsTest, AlertRangesSavedIntoConfiguration) {
  EXPECT_EQ(Answer("$PKVN116,4096,500,900,40"), "$PSRFTXTSave");
  EXPECT_EQ(Answer("$PKVN108"), "$LOG108,2,0,1,0,5,0,0,3,0,4096,500,900,3,40");
  EXPECT_EQ(Answer("$PKVN116,4096,900,500,40"), "$LOG116,0");
}

TEST_F(CommandsTest, PoiCountAndRecords) {
  EXPECT_EQ(Answer("$PKVN114,-1,0"), "$LOG114,1,3,4096");
  const std::string two = Answer("$PKVN114,1,2");
  ASSERT_THAT(two, StartsWith("$LOG114,2,"));
  EXPECT_EQ(two.size(), std::string("$LOG114,2,").size() + 2 * 16 * 2);
  // Asking past the end gives what is left; starting past it, nothing.
  EXPECT_THAT(Answer("$PKVN114,2,5"), StartsWith("$LOG114,1,"));
  EXPECT_EQ(Answer("$PKVN114,3,1"), "$LOG114,0");
}

TEST_F(CommandsTest, ClockSetBy001ReadBy002) {
  client_->Send("$PKVN001,235958,20071231");
  const std::string answer = Answer("$PKVN002");
  ASSERT_THAT(answer, StartsWith("$LOG002,"));
  // Within the second or two the exchange takes.
  EXPECT_THAT(answer, ::testing::AnyOf("$LOG002,20071231,235958", "$LOG002,20071231,235959",
                                       "$LOG002,20080101,000000"));
}

TEST_F(CommandsTest, EraseLogEmptiesTracksAndReports) {
  EXPECT_EQ(Answer("$PKVN109,5"), "$LOG109,0");
  EXPECT_EQ(Answer("$PKVN109,-1"), "$LOG109,1");
  const auto reports = client_->Drain(std::chrono::milliseconds(600));
  ASSERT_FALSE(reports.empty());
  for (const auto& r : reports) EXPECT_EQ(r.text, "$PSRFTXTErase now");
  EXPECT_EQ(Answer("$PKVN101,0"), "$LOG101,0");
  EXPECT_THAT(Answer("$PKVN108"), StartsWith("$LOG108,2,0,1,0,5,0,0,0,"));
  EXPECT_TRUE(sim_->LogDump().empty());
}

TEST_F(CommandsTest, UnknownMalformedAndBadChecksumGetNoAnswer) {
  client_->Send("$PKVN005");
  client_->Send("$PKVN101");    // field missing
  client_->Send("$PKVN101,x");  // not a number
  client_->Send("$PKVN1000");   // four digits
  client_->Send("$PSRF108");
  client_->SendRaw("$PKVN100*00\r\n");  // wrong checksum
  client_->SendRaw("$PKVN100*3\r\n");   // checksum cut short
  EXPECT_TRUE(client_->Drain().empty());
  EXPECT_EQ(sim_->bad_checksums(), 1u);
  EXPECT_THAT(sim_->TranscriptText(), HasSubstr("bad checksum, ignored: $PKVN100"));
  // The line still works afterwards.
  client_->SendRaw("$PKVN004*37\r\n");
  EXPECT_EQ(client_->Next()->text, "$LOG004,0");
}

TEST_F(CommandsTest, NoiseAndRestartedSentencesAreTolerated) {
  client_->SendRaw("xx\r\n$PKVN1$PKVN004*37\r\n");
  EXPECT_EQ(client_->Next()->text, "$LOG004,0");
}

}  // namespace
}  // namespace tessor::devsim::test
