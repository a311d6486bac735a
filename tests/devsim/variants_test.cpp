// Firmware variants, each seen from the host's end of the line.

#include <gmock/gmock.h>

#include <stdexcept>

#include "sim_harness.h"

namespace tessor::devsim::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

bool IsPosition(const Received& r) {
  return r.text.starts_with("$GPGGA") || r.text.starts_with("$GPRMC");
}

// The bytes a data block's checksum is taken over: all after the "$".
std::string BlockBody(const Received& block) {
  std::string body = "LOG102,";
  body.push_back(static_cast<char>(block.index & 0xFF));
  body.push_back(static_cast<char>(block.index >> 8));
  body.push_back(static_cast<char>(block.payload.size()));
  body.append(block.payload.begin(), block.payload.end());
  return body;
}

uint8_t XorSkippingDollar(std::string body) {
  std::erase(body, '$');
  return XorOf(body);
}

// Wire time of these many bytes at 57600 baud.
milliseconds WireTime(size_t bytes) {
  return milliseconds(static_cast<int64_t>(static_cast<double>(bytes) * 1000.0 / 5760.0));
}

class VariantsTest : public SimTest {
 protected:
  // The next sentence that is not an unsolicited position, after checking that
  // every "$GPGGA" before it came with its "$GPRMC" right behind.
  std::optional<Received> NextAnswer() {
    const auto deadline = Clock::now() + milliseconds(10000);
    while (Clock::now() < deadline) {
      auto r = client_->Next(milliseconds(5000));
      if (!r) break;
      if (!IsPosition(*r)) return r;
      EXPECT_TRUE(r->checksum_ok) << r->text;
      if (r->text.starts_with("$GPGGA")) {
        const auto rmc = client_->Next(milliseconds(5000));
        EXPECT_TRUE(rmc && rmc->text.starts_with("$GPRMC") && rmc->checksum_ok);
        ++pairs_;
      }
    }
    return std::nullopt;
  }

  size_t pairs_ = 0;
};

// One block of 240 bytes holding one "$", and one whose length byte is "$" (36).
Scenario DollarBlocks() {
  Scenario s;
  TrackSource t;
  t.date = 70314;
  t.format = 0;
  t.records.assign(276, 'A');
  t.records[10] = '$';
  s.tracks.push_back(t);
  return s;
}

TEST_F(VariantsTest, BlockChecksumCountsOrSkipsEveryDollarOfTheBlock) {
  for (const BlockChecksum rule : {BlockChecksum::kAll, BlockChecksum::kSkipDollar}) {
    Scenario s = DollarBlocks();
    s.variant.block_checksum = rule;
    Run(s);
    client_->Send("$PKVN102,0,0,23");
    for (uint16_t index = 0; index < 2; ++index) {
      const auto block = client_->Next();
      ASSERT_TRUE(block && block->block);
      EXPECT_EQ(block->index, index);
      const std::string body = BlockBody(*block);
      const uint8_t all = XorOf(body), skipped = XorSkippingDollar(body);
      ASSERT_NE(all, skipped);  // the rules must tell the blocks apart
      EXPECT_EQ(block->checksum, rule == BlockChecksum::kAll ? all : skipped) << index;
    }
    sim_->Stop();
  }
}

TEST_F(VariantsTest, StrictModesActOnTransfersOnlyInTheirModes) {
  Scenario s = WithTrack(2);
  s.variant.strict_modes = true;
  s.erase_reports_ms = 0;
  Run(s);
  // Mode 2 at start. Answers come in order, so the read's answer coming
  // first shows that the track request and the upload got none.
  client_->Send("$PKVN102,0,2,2");
  client_->Send("$PKVN999,0,AB00AB");
  EXPECT_EQ(Answer("$PKVN115,0,1"), "$LOG115,1,FF");

  EXPECT_EQ(Answer("$PKVN113,3"), "$LOG113,1");
  client_->Send("$PKVN999,0,AB00AB");
  const auto block = client_->Ask("$PKVN102,0,2,2");
  ASSERT_TRUE(block && block->block);
  EXPECT_EQ(block->payload.size(), 40u);
  EXPECT_EQ(Answer("$PKVN115,0,1"), "$LOG115,1,FF");  // the upload was not written

  EXPECT_EQ(Answer("$PKVN113,1"), "$LOG113,1");
  client_->Send("$PKVN115,0,1");
  client_->Send("$PKVN102,0,2,2");
  EXPECT_EQ(Answer("$PKVN999,0,AB00AB"), "$LOG999,0,1,AB");
  EXPECT_EQ(sim_->DatabaseDump(), std::vector<uint8_t>({0xAB, 0x00}));
}

TEST_F(VariantsTest, LatencyHoldsEveryAnswerAndALateOneWaitsLonger) {
  Scenario s;
  s.variant.latency_ms = 300;
  s.faults.late = {{115, {2}, 200}};
  Run(s);
  auto sent = Clock::now();
  EXPECT_EQ(Answer("$PKVN004"), "$LOG004,1");
  EXPECT_GE(Clock::now() - sent, milliseconds(300));

  sent = Clock::now();
  client_->Send("$PKVN115,0,1");
  client_->Send("$PKVN115,0,2");
  client_->Send("$PKVN115,0,3");
  std::vector<std::string> texts;
  for (int i = 0; i < 3; ++i) {
    const auto r = client_->Next(milliseconds(5000));
    ASSERT_TRUE(r) << i;
    texts.push_back(r->text);
    if (i == 0) {
      EXPECT_GE(Clock::now() - sent, milliseconds(300));
    }
  }
  EXPECT_GE(Clock::now() - sent, milliseconds(500));
  EXPECT_THAT(texts, ElementsAre("$LOG115,1,FF", "$LOG115,3,FFFFFF", "$LOG115,2,FFFF"));
}

// A 200-byte track is one block of 216 bytes: 14 pieces of 16, 13 pauses.
class ChunkTest : public VariantsTest {
 protected:
  // How long the block took from the request to its last byte.
  Clock::duration TimeTheBlock(bool pace) {
    Scenario s = WithTrack(10);
    s.variant.chunk = Chunk{16, 40};
    Run(s, pace);
    const auto sent = Clock::now();
    client_->Send("$PKVN102,0,2,10");
    const auto block = client_->Next(milliseconds(5000));
    const auto took = Clock::now() - sent;
    EXPECT_TRUE(block && block->block && block->checksum_ok);
    if (block) {
      EXPECT_EQ(block->payload, sim_->LogDump());
    }
    return took;
  }
};

TEST_F(ChunkTest, PiecesLeaveWithThePauseBetweenThem) {
  EXPECT_GE(TimeTheBlock(false), milliseconds(13 * 40));
}

TEST_F(ChunkTest, PausesComeOnTopOfTheWireTime) {
  EXPECT_GE(TimeTheBlock(true), WireTime(216) + milliseconds(13 * 40));
}

TEST_F(VariantsTest, UnsolicitedPositionsComeBetweenWholeSentencesAlsoInLinkMode) {
  Scenario s = WithTrack(120);  // 2400 bytes: ten blocks, about 0.4 s on the wire
  s.variant.unsolicited_nmea_ms = 50;
  Run(s, /*pace=*/true);
  const auto first = client_->Next(milliseconds(5000));
  ASSERT_TRUE(first);
  EXPECT_THAT(first->text, ::testing::StartsWith("$GPGGA,"));
  const auto second = client_->Next(milliseconds(5000));
  ASSERT_TRUE(second);
  EXPECT_THAT(second->text, ::testing::StartsWith("$GPRMC,"));

  client_->Send("$PKVN113,3");
  const auto mode = NextAnswer();
  ASSERT_TRUE(mode);
  EXPECT_EQ(mode->text, "$LOG113,1");
  client_->Send("$PKVN102,0,2,120");
  std::vector<uint8_t> payload;
  size_t pairs_after_first = 0;
  for (uint16_t index = 0; index < 10; ++index) {
    const auto block = NextAnswer();
    ASSERT_TRUE(block && block->block && block->checksum_ok) << index;
    EXPECT_EQ(block->index, index);
    payload.insert(payload.end(), block->payload.begin(), block->payload.end());
    if (index == 0) pairs_after_first = pairs_;
  }
  EXPECT_EQ(payload, sim_->LogDump());
  EXPECT_GE(pairs_ - pairs_after_first, 1u) << "no pair while the blocks were on the way";
}

// Pairs due faster than a chunked line carries them must not hold the
// answers back: between two blocks of an answer at most one pair goes.
TEST_F(VariantsTest, UnsolicitedPositionsLeaveRoomForAnswersOnASlowLine) {
  Scenario s = WithTrack(24);  // 480 bytes: two blocks
  s.variant.unsolicited_nmea_ms = 10;
  s.variant.chunk = Chunk{16, 30};
  Run(s);
  ASSERT_TRUE(client_->Next(milliseconds(5000)));  // pairs are under way
  client_->Send("$PKVN102,0,2,24");
  const auto first = NextAnswer();
  ASSERT_TRUE(first && first->block && first->checksum_ok);
  const size_t pairs_before_second = pairs_;
  const auto second = NextAnswer();
  ASSERT_TRUE(second && second->block && second->checksum_ok);
  EXPECT_LE(pairs_ - pairs_before_second, 1u);
  std::vector<uint8_t> payload = first->payload;
  payload.insert(payload.end(), second->payload.begin(), second->payload.end());
  EXPECT_EQ(payload, sim_->LogDump());
}

TEST(VariantScenario, MembersAndDefaults) {
  const Scenario s = ParseScenario(R"({"variant": {"block_checksum": "skip_dollar",
      "strict_modes": true, "latency_ms": 100, "chunk": {"bytes": 16, "gap_ms": 30},
      "unsolicited_nmea_ms": 1000}})",
                                   ".");
  EXPECT_EQ(s.variant.block_checksum, BlockChecksum::kSkipDollar);
  EXPECT_TRUE(s.variant.strict_modes);
  EXPECT_EQ(s.variant.latency_ms, 100u);
  ASSERT_TRUE(s.variant.chunk);
  EXPECT_EQ(s.variant.chunk->bytes, 16u);
  EXPECT_EQ(s.variant.chunk->gap_ms, 30u);
  EXPECT_EQ(s.variant.unsolicited_nmea_ms, 1000u);

  for (const char* text : {"{}", R"({"variant": {"chunk": 0}})"}) {
    const Variant v = ParseScenario(text, ".").variant;
    EXPECT_EQ(v.block_checksum, BlockChecksum::kAll) << text;
    EXPECT_FALSE(v.strict_modes || v.chunk || v.latency_ms || v.unsolicited_nmea_ms) << text;
  }
}

TEST(VariantScenario, UnknownValuesAreReadableErrors) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({"block_checksum": "some"})", "\"all\" or \"skip_dollar\""},
      {R"({"strict_modes": 1})", "strict_modes must be true or false"},
      {R"({"latency_ms": -5})", "latency_ms must be a whole number"},
      {R"({"unsolicited_nmea_ms": 0.5})", "unsolicited_nmea_ms must be a whole number"},
      {R"({"chunk": 16})", "chunk must be 0 or"},
      {R"({"chunk": {"bytes": 0, "gap_ms": 30}})", "bytes must be at least 1"},
      {R"({"chunk": {"bytes": 16, "gap": 30}})", "chunk has no member \"gap\""},
      {R"({"strict_mode": true})", "variant has no member \"strict_mode\""},
      {"[]", "variant must be an object"},
  };
  for (const auto& [variant, message] : cases) {
    try {
      ParseScenario(std::string(R"({"variant": )") + variant + "}", ".");
      ADD_FAILURE() << variant << " was accepted";
    } catch (const std::runtime_error& e) {
      EXPECT_THAT(e.what(), HasSubstr(message)) << variant;
    }
  }
}

}  // namespace
}  // namespace tessor::devsim::test
