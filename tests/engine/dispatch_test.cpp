#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/device_engine.h"
#include "engine/framing.h"
#include "engine/timing.h"

namespace tessor {
namespace {

using namespace std::string_literals;

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override { TimingScale::Set(0.01); }
  void TearDown() override { TimingScale::Set(1.0); }

  int Send(const std::string& sentence) {
    return engine_.DispatchAnswer(sentence.data(), sentence.size());
  }
  bool Signalled(AnswerEvent e) { return engine_.event(e).Wait(0); }

  static std::string Block(uint16_t index, const std::string& payload) {
    std::string s = "$LOG102,"s;
    s += static_cast<char>(index & 0xFF);
    s += static_cast<char>(index >> 8);
    s += static_cast<char>(payload.size());
    return s + payload;
  }

  CDeviceEngine engine_;
};

// The bits are the protocol's own numbers, written out here rather than taken
// from the engine's names for them.
TEST_F(Dispatch, ExactAnswersSetTheirFlagAndEvent) {
  constexpr AnswerEvent kNone = AnswerEvent::kCount;
  struct Case {
    const char* sentence;
    uint32_t a;
    AnswerEvent event;
  } cases[] = {
      {"$LOG101,0", 0x10000, AnswerEvent::kLog101},
      {"$LOG103,1", 0x1, AnswerEvent::kLog103},
      {"$LOG103,0", 0x2000000, AnswerEvent::kLog103},
      {"$LOG104,0", 0x80000, kNone},
      {"$LOG104,1", 0x2, kNone},
      {"$LOG116,0", 0x40000000, kNone},
      {"$LOG105,1", 0x4, kNone},
      {"$LOG105,0", 0x100000, kNone},
      {"$LOG106,1", 0x8, kNone},
      {"$LOG106,0", 0x200000, kNone},
      {"$LOG109,1", 0x10, kNone},
      {"$LOG109,0", 0x1000000, kNone},
  };
  for (const Case& c : cases) {
    engine_.flags_a = 0;
    engine_.flags_b = 0;
    Send(c.sentence);
    EXPECT_EQ(engine_.flags_a.load(), c.a) << c.sentence;
    EXPECT_EQ(engine_.flags_b.load(), 0) << c.sentence;
    if (c.event != kNone) {
      EXPECT_TRUE(Signalled(c.event)) << c.sentence;
    }
  }
}

TEST_F(Dispatch, ExactTextsDoNotMatchLongerSentences) {
  Send("$LOG103,12");
  Send("$LOG109,-1");
  Send("$LOG104,1 ");
  EXPECT_EQ(engine_.flags_a.load(), 0u);
  EXPECT_EQ(engine_.flags_b.load(), 0);
  EXPECT_FALSE(Signalled(AnswerEvent::kLog103));
}

TEST_F(Dispatch, FirstContainedWordWins) {
  Send("$LOG100,1,2,3,4,LOG101");
  EXPECT_EQ(engine_.flags_b.load(), 0x20);
  EXPECT_TRUE(Signalled(AnswerEvent::kLog100));
  EXPECT_FALSE(Signalled(AnswerEvent::kLog101));
  // "PSRFTXTSave" comes before the busy report in the order.
  Send("$PSRFTXTSave LOG000,1");
  EXPECT_EQ(engine_.flags_a.load(), 0x100u);
  EXPECT_EQ(engine_.flags_b.load(), 0x20 | 0x100);
  EXPECT_EQ(engine_.busy_value, 0);
}

TEST_F(Dispatch, StatusAndDateAnswers) {
  Send("$LOG000,1");
  EXPECT_EQ(engine_.busy_value, 1);
  Send("$LOG004,0");
  EXPECT_EQ(engine_.battery_value, 0);
  Send("$LOG001,7");
  Send("$LOG003,300");  // an 8-bit field keeps the low bits
  EXPECT_EQ(engine_.log001_value, 7);
  EXPECT_EQ(engine_.log003_value, 300 & 0xFF);
  Send("$LOG002,20261208,235907");
  EXPECT_EQ(engine_.device_time.year, 2026);
  EXPECT_EQ(engine_.device_time.month, 12);
  EXPECT_EQ(engine_.device_time.day, 8);
  EXPECT_EQ(engine_.device_time.hour, 23);
  EXPECT_EQ(engine_.device_time.minute, 59);
  EXPECT_EQ(engine_.device_time.second, 7);
  // Busy 0x1, LOG001 0x2, date and time 0x4, LOG003 0x8, battery 0x10.
  EXPECT_EQ(engine_.flags_b.load(), 0x1F);
}

TEST_F(Dispatch, PositionReportSignsFollowHemisphere) {
  Send("$LOG005,261208,123456,2503.4512,S,12134.5678,W,1.5,270.25");
  const PositionReport& p = engine_.position_report;
  EXPECT_EQ(p.when.year, 26);
  EXPECT_EQ(p.when.hour, 12);
  EXPECT_NEAR(p.latitude, -25.034512, 1e-5);
  EXPECT_NEAR(p.longitude, -121.345678, 1e-4);
  EXPECT_FLOAT_EQ(p.extra2, 270.25f);
  Send("$LOG005,261208,123456,2503.4512,N,12134.5678,E,0,0");
  EXPECT_GT(engine_.position_report.latitude, 0);
  EXPECT_GT(engine_.position_report.longitude, 0);
}

TEST_F(Dispatch, FlashUsageAndTrackHeaderFields) {
  Send("$LOG100,10,20,30,40");
  EXPECT_EQ(engine_.flash_usage.value3, 10u);
  EXPECT_EQ(engine_.flash_usage.value2, 20u);
  EXPECT_EQ(engine_.flash_usage.value1, 30u);
  EXPECT_EQ(engine_.flash_usage.used_percent, 40);
  Send("$LOG101,70314,2,1500,65536");
  EXPECT_EQ(engine_.track_header.header_value, 70314u);
  EXPECT_EQ(engine_.track_header.record_format, 2);
  EXPECT_EQ(engine_.track_header.record_count, 1500u);
  EXPECT_EQ(engine_.track_header.start_address, 65536u);
  EXPECT_TRUE(Signalled(AnswerEvent::kLog101));
  // A short answer leaves the rest at 0.
  Send("$LOG101,70315");
  EXPECT_EQ(engine_.track_header.header_value, 70315u);
  EXPECT_EQ(engine_.track_header.record_count, 0u);
}

TEST_F(Dispatch, StoredPositionAndConfiguration) {
  Send("$LOG107,25034500,-121564400,-7");
  EXPECT_NEAR(engine_.config.stored_latitude, 25.0345, 1e-5);
  EXPECT_NEAR(engine_.config.stored_longitude, -121.5644, 1e-4);
  EXPECT_EQ(engine_.config.position_value, -7);

  Send("$LOG108,2,-1,1,0,15,6,-1,12,9,10,11,12,13,14");
  const LoggerConfig& c = engine_.config;
  EXPECT_EQ(c.data_type, 2);
  EXPECT_EQ(c.position_value, -1);
  EXPECT_EQ(c.memory_full, 1);
  EXPECT_EQ(c.log_type, 0);
  EXPECT_EQ(c.log_interval, 15u);
  EXPECT_EQ(c.value6, 6u);
  EXPECT_EQ(c.speed_filter, -1);
  EXPECT_EQ(c.track_header_count, 12u);
  EXPECT_EQ(c.value(9), 9u);
  EXPECT_EQ(c.value(14), 14u);
  EXPECT_TRUE(Signalled(AnswerEvent::kLog108));
  EXPECT_TRUE(engine_.flags_b.load() & flag_b::kConfiguration);
}

TEST_F(Dispatch, BlockAcknowledgeNeedsOkAndMatchingXor) {
  engine_.block_upload_xor = 0x3F;
  struct Case {
    const char* sentence;
    bool acknowledged;
  } cases[] = {
      {"$LOG999,1024,1,3F", true},   {"$LOG999,1024,1,3f", true},
      {"$LOG999,1024,1,13F", true},  // compared in its low byte
      {"$LOG999,1024,0,3F", false},  {"$LOG999,1024,1,3E", false},
      {"$LOG999,1024,11,3F", false}, {"$LOG999,1024", false},
  };
  for (const Case& c : cases) {
    Send(c.sentence);
    EXPECT_EQ(Signalled(AnswerEvent::kBlockAck), c.acknowledged) << c.sentence;
  }
}

TEST_F(Dispatch, ModeNameAndShortSignals) {
  Send("$LOG113,1");
  EXPECT_EQ(engine_.log113_result, 1);
  EXPECT_TRUE(Signalled(AnswerEvent::kLog113));
  Send("$LOG113,0");
  EXPECT_EQ(engine_.log113_result, 0);
  EXPECT_TRUE(Signalled(AnswerEvent::kLog113));

  Send("$LOG110,0");
  EXPECT_FALSE(Signalled(AnswerEvent::kLog110));
  Send("$LOG110,1");
  EXPECT_TRUE(Signalled(AnswerEvent::kLog110));

  Send("$PSRFTXTErase now");
  EXPECT_TRUE(Signalled(AnswerEvent::kEraseDone));
  Send("$LOG115,0,32,FFFF");
  EXPECT_TRUE(Signalled(AnswerEvent::kLog115));
}

TEST_F(Dispatch, DeviceNameOnlyWhenItsLengthIsBelowSixty) {
  Send("$LOG111,5,Tessa");
  EXPECT_EQ(engine_.device_name, "Tessa");
  EXPECT_TRUE(Signalled(AnswerEvent::kLog111));
  Send("$LOG111,60," + std::string(60, 'N'));
  EXPECT_EQ(engine_.device_name, "Tessa");
  EXPECT_TRUE(Signalled(AnswerEvent::kLog111)) << "signals in every case";
  Send("$LOG111,0,Other");
  EXPECT_EQ(engine_.device_name, "Tessa");
  // A name longer than its room is cut, never written past it.
  Send("$LOG111,5," + std::string(200, 'L'));
  EXPECT_EQ(engine_.device_name, std::string(kDeviceNameSize - 1, 'L'));
}

TEST_F(Dispatch, IdentificationAndCapacity) {
  Send("$PSRFTXT,Varnelco GPS Ver 1.0.0 209 2026");
  EXPECT_EQ(engine_.firmware_version, 209);
  Send("$PSRFTXT,Varnelco GPS Ver 1.");  // too short for the number: unchanged
  EXPECT_EQ(engine_.firmware_version, 209);
  Send("$PSRFTXT,Varnelco GPS release 300");
  EXPECT_EQ(engine_.firmware_version, 209);
  EXPECT_FALSE(Signalled(AnswerEvent::kVersion));
  EXPECT_EQ(engine_.capacity, 0x200000);
  Send("$PSRFTXT,Capacity=4194304");
  EXPECT_EQ(engine_.capacity, 4194304);
  EXPECT_TRUE(Signalled(AnswerEvent::kVersion));
}

TEST_F(Dispatch, PositionTextIsFramedAndBounded) {
  Send("$GPGGA,123456,2503.4512,N");
  Send("$GPRMC,123456,A");
  EXPECT_EQ(engine_.position_text(),
            FramedSentence("$GPGGA,123456,2503.4512,N") + FramedSentence("$GPRMC,123456,A"));
  EXPECT_TRUE(engine_.flags_b.load() & flag_b::kPositionText);
  const std::string gsv = "$GPGSV," + std::string(70, '1');
  for (int i = 0; i < 40; ++i) Send(gsv);
  EXPECT_LT(engine_.position_text().size(), kPositionTextSize);
  EXPECT_GT(engine_.position_text().size(), kPositionTextSize - 90);
  Send("$GPGGA,2");
  EXPECT_EQ(engine_.position_text(), FramedSentence("$GPGGA,2"));
}

TEST_F(Dispatch, PoiCountAnswer) {
  engine_.poi.count_query = true;
  Send("$LOG114,1,25,30");
  EXPECT_EQ(engine_.poi.count, 25u);
  EXPECT_EQ(engine_.poi.second_count, 30u);
  EXPECT_TRUE(engine_.flags_a.load() & flag_a::kPoiAnswer);
  EXPECT_TRUE(Signalled(AnswerEvent::kLog114));
  Send("$LOG114,0,26,31");
  EXPECT_EQ(engine_.poi.count, 26u);
  EXPECT_EQ(engine_.poi.second_count, 30u);
}

TEST_F(Dispatch, PoiRecordAnswer) {
  engine_.poi.count_query = false;
  engine_.args.poi_count = 2;
  std::string hex;
  for (int i = 0; i < 32; ++i) hex += (i % 2) ? "a5" : "5A";
  Send("$LOG114,2," + hex);
  ASSERT_EQ(engine_.poi.block_bytes, 32u);
  EXPECT_EQ(engine_.poi.block[0], 0x5A);
  EXPECT_EQ(engine_.poi.block[1], 0xA5);

  EXPECT_EQ(Send("$LOG114,0"), kResultNoSuchRecord);
  EXPECT_TRUE(engine_.flags_a.load() & flag_a::kPoiNone);

  // A device that sends more than the block holds fills it and stops there.
  engine_.args.poi_count = 1000;
  Send("$LOG114,1000," + std::string(4 * kPoiBlockSize, '7'));
  EXPECT_EQ(engine_.poi.block_bytes, kPoiBlockSize);
}

class DataBlocks : public Dispatch {
 protected:
  void SetUp() override {
    Dispatch::SetUp();
    engine_.ignore_blocks = false;
    engine_.transfer.Prepare(300);
  }
};

TEST_F(DataBlocks, IgnoredWhileTheIgnoreFlagIsSet) {
  engine_.ignore_blocks = true;
  engine_.flags_a = flag_a::kLog102Refused;
  engine_.flags_b = flag_b::kTransferComplete;
  Send(Block(0, std::string(240, 'x')));
  EXPECT_EQ(engine_.transfer.bytes_received, 0u);
  EXPECT_EQ(engine_.flags_a.load(), 0u);
  EXPECT_EQ(engine_.flags_b.load(), 0);
}

TEST_F(DataBlocks, InOrderBlocksCompleteTheTransfer) {
  const std::string first(240, '\x01'), second(60, '\x02');
  Send(Block(0, first));
  EXPECT_FALSE(engine_.transfer.complete);
  EXPECT_FALSE(Signalled(AnswerEvent::kLog102));
  Send(Block(1, second));
  EXPECT_TRUE(engine_.transfer.complete);
  EXPECT_TRUE(Signalled(AnswerEvent::kLog102));
  EXPECT_TRUE(engine_.flags_b.load() & flag_b::kTransferComplete);
  EXPECT_EQ(std::string(engine_.transfer.buffer.begin(), engine_.transfer.buffer.end()),
            first + second);
  EXPECT_EQ(engine_.transfer.overall_received.load(), 300u);
  // Anything after completion is ignored.
  Send(Block(2, "zz"));
  EXPECT_EQ(engine_.transfer.bytes_received, 300u);
}

TEST_F(DataBlocks, GapIsAnErrorAndAMissingFirstBlockIsIgnored) {
  Send(Block(1, "late"));
  EXPECT_EQ(engine_.transfer.bytes_received, 0u);
  Send(Block(0, std::string(100, 'a')));
  EXPECT_EQ(Send(Block(2, "b")), kResultBlockOutOfOrder);
  EXPECT_TRUE(engine_.transfer.error);
  EXPECT_TRUE(Signalled(AnswerEvent::kLog102));
  EXPECT_EQ(engine_.transfer.bytes_received, 100u);
}

// Answers are counted whether their blocks are taken or dropped: the download
// learns from the count how many of its requests are still owed an answer.
TEST_F(DataBlocks, EveryAnswerIsCountedOnceEvenWithoutItsFirstBlock) {
  struct Case {
    const char* name;
    std::vector<std::string> sentences;
    uint32_t answers;
    bool open;
  };
  const std::string full(240, 'x'), rest(60, 'y');
  const Case cases[] = {
      {"one whole answer", {Block(0, full), Block(1, rest)}, 1, false},
      {"one answer still coming", {Block(0, full)}, 1, true},
      {"two answers back to back", {Block(0, full), Block(1, rest), Block(0, full)}, 2, true},
      {"the second's first block lost", {Block(0, full), Block(1, rest), Block(1, rest)}, 2, true},
      {"a block lost inside one answer", {Block(0, full), Block(2, rest)}, 1, false},
      {"refusals", {"$LOG102,0*", "$LOG102,0*"}, 2, false},
      {"a refusal, then an answer without its first block",
       {"$LOG102,0*", Block(1, rest)},
       2,
       true},
      {"a block cut short is not an answer", {Block(0, full).substr(0, 20)}, 0, false},
  };
  for (const Case& c : cases) {
    CDeviceEngine engine;
    engine.ignore_blocks = false;
    engine.transfer.Prepare(300);
    for (const std::string& s : c.sentences) engine.DispatchAnswer(s.data(), s.size());
    EXPECT_EQ(engine.transfer.answers.begun, c.answers) << c.name;
    EXPECT_EQ(engine.transfer.answers.open, c.open) << c.name;
  }
  // Dropped blocks count too.
  engine_.transfer.discard = true;
  Send(Block(0, full));
  Send(Block(1, rest));
  EXPECT_EQ(engine_.transfer.answers.begun, 1u);
  EXPECT_FALSE(engine_.transfer.answers.open);
  EXPECT_EQ(engine_.transfer.bytes_received, 0u);
}

TEST_F(DataBlocks, ShortRefusal) {
  Send("$LOG102,0*");
  EXPECT_TRUE(engine_.flags_a.load() & flag_a::kLog102Refused);
  EXPECT_TRUE(engine_.transfer.error);
  EXPECT_TRUE(Signalled(AnswerEvent::kLog102));
}

TEST_F(DataBlocks, ImplausibleBlocksAreIgnored) {
  std::string too_long = Block(0, std::string(241, 'x'));
  Send(too_long);
  std::string high_index = Block(273, "x");
  Send(high_index);
  // A block whose length byte claims more than arrived.
  std::string truncated = Block(0, "abc");
  truncated[10] = 50;
  Send(truncated);
  EXPECT_EQ(engine_.transfer.bytes_received, 0u);
  EXPECT_FALSE(engine_.transfer.first_seen);
}

TEST_F(DataBlocks, MoreThanExpectedNeverWritesPastTheBuffer) {
  engine_.transfer.Prepare(100);
  Send(Block(0, std::string(240, 'x')));
  EXPECT_EQ(engine_.transfer.bytes_received, 0u);
  EXPECT_EQ(engine_.transfer.oversize_blocks, 1u);
  EXPECT_FALSE(engine_.transfer.complete);
}

TEST_F(DataBlocks, PayloadWordsAreNotAnswers) {
  // Raw log bytes that happen to spell an answer word must stay log bytes.
  Send(Block(0, "LOG000,1 LOG100,9,9,9,9 PSRFTXTSave"));
  EXPECT_EQ(engine_.busy_value, 0);
  EXPECT_EQ(engine_.flags_b.load(), 0);
  EXPECT_EQ(engine_.transfer.bytes_received, 35u);
}

TEST_F(Dispatch, UnknownSentencesChangeNothing) {
  Send("$GPVTG,1,2");
  Send("");
  Send("$LOG");
  Send("$LOG11");
  EXPECT_EQ(engine_.flags_a.load(), 0u);
  EXPECT_EQ(engine_.flags_b.load(), 0);
}

}  // namespace
}  // namespace tessor
