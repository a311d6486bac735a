#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/device_engine.h"
#include "engine/framing.h"
#include "engine/string_table.h"
#include "recording_observer.h"

namespace tessor {
namespace {

using namespace std::string_literals;

// A text sentence as the device sends it.
std::string Line(const std::string& text) {
  return FramedSentence(text);
}

// A "$LOG102" data block: index, length, payload, checksum over all of it.
std::string Block(uint16_t index, const std::string& payload) {
  std::string body = "$LOG102,"s;
  body += static_cast<char>(index & 0xFF);
  body += static_cast<char>(index >> 8);
  body += static_cast<char>(payload.size());
  body += payload;
  // Every byte after the leading "$" counts, a "$" in the payload too.
  uint8_t sum = 0;
  for (size_t i = 1; i < body.size(); ++i) sum ^= static_cast<uint8_t>(body[i]);
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
  return body + tail;
}

// The same block framed as a device that counts its checksum like its text
// answers would: every "$" byte skipped.
std::string BlockSkippingDollars(uint16_t index, const std::string& payload) {
  std::string block = Block(index, payload);
  uint8_t sum = 0;
  for (size_t i = 1; i + 5 < block.size(); ++i) {
    if (block[i] != '$') sum ^= static_cast<uint8_t>(block[i]);
  }
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02X", sum);
  block.replace(block.size() - 4, 2, digits);
  return block;
}

// What the dispatcher receives for that block: the text and binary part, no checksum.
std::string BlockSentence(uint16_t index, const std::string& payload) {
  std::string s = "$LOG102,"s;
  s += static_cast<char>(index & 0xFF);
  s += static_cast<char>(index >> 8);
  s += static_cast<char>(payload.size());
  return s + payload;
}

// The refusal's checksum, computed rather than written by hand.
std::string Refusal() {
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X\r\n", SentenceChecksum("$LOG102,0"));
  return "$LOG102,0"s + tail;
}

struct Case {
  const char* label;
  std::string input;
  std::vector<std::string> sentences;
};

std::vector<Case> Cases() {
  const std::string tricky_payload = "a*\r\n$\0\xFFz"s;
  return {
      {"plain answer", Line("$LOG101,0"), {"$LOG101,0"}},
      {"two in a row",
       Line("$LOG103,1") + Line("$LOG100,1,2,3,4"),
       {"$LOG103,1", "$LOG100,1,2,3,4"}},
      {"doubled dollar restarts", "$" + Line("$LOG104,1"), {"$LOG104,1"}},
      {"noise before the dollar", "xyz\x01\xA0\x41" + Line("$LOG113,1"), {"$LOG113,1"}},
      {"skips junk around the checksum", "$LOG104,1*x6yC?\rq\n", {"$LOG104,1"}},
      {"short data-block refusal", Refusal(), {"$LOG102,0*"}},
      {"data block with framing bytes in its payload",
       Block(1, tricky_payload),
       {BlockSentence(1, tricky_payload)}},
      {"data block of 240 bytes then a text answer",
       Block(0, std::string(240, '\x55')) + Line("$LOG101,0"),
       {BlockSentence(0, std::string(240, '\x55')), "$LOG101,0"}},
      {"data block of length 0 ends at once, the next answer arrives",
       Block(2, "") + Line("$LOG101,0"),
       {BlockSentence(2, ""), "$LOG101,0"}},
      {"data block whose checksum skips its dollar bytes",
       BlockSkippingDollars(5, "$$$x"),
       {BlockSentence(5, "$$$x")}},
      {"a text answer is held to one count: a dollar inside is counted",
       "$LOG111,1,a$b*" +
           std::string(1, "0123456789ABCDEF"[SentenceChecksum("$LOG111,1,ab") >> 4]) +
           std::string(1, "0123456789ABCDEF"[SentenceChecksum("$LOG111,1,ab") & 15]) + "\r\n" +
           Line("$LOG101,0"),
       {"$LOG101,0"}},
      {"wrong checksum is dropped, the next one arrives",
       "$LOG103,1*00\r\n" + Line("$LOG103,0"),
       {"$LOG103,0"}},
      {"body of 1023 bytes without asterisk, then a sentence",
       "$" + std::string(1023, 'A') + Line("$LOG103,1"),
       {"$LOG103,1"}},
      {"body of 1024 bytes without asterisk, then a sentence",
       "$" + std::string(1024, 'A') + Line("$LOG103,1"),
       {"$LOG103,1"}},
  };
}

class ReceiverThroughRing : public ::testing::Test {
 protected:
  void SetUp() override {
    engine_.receiver.SetSentenceHandler(
        [this](const char* s, size_t n) { got_.emplace_back(s, n); });
  }

  // Puts bytes into the ring as the serial link would, then runs the receiver.
  void Push(const std::string& bytes) {
    for (char c : bytes) {
      engine_.ring.data[engine_.ring.write_index] = static_cast<uint8_t>(c);
      engine_.ring.write_index = static_cast<uint16_t>((engine_.ring.write_index + 1) % kRingSize);
      ++engine_.ring.pending;
    }
    engine_.ReceiveBytes();
    EXPECT_EQ(engine_.ring.pending, 0);
  }

  CDeviceEngine engine_;
  std::vector<std::string> got_;
};

TEST_F(ReceiverThroughRing, TableFedWholeByteByByteAndInRandomSplits) {
  std::mt19937 rng(12345);
  // Start the ring near its end so that the splits also cross the wrap.
  engine_.ring.write_index = engine_.ring.read_index = kRingSize - 100;
  for (const Case& c : Cases()) {
    for (int mode = 0; mode < 3; ++mode) {
      got_.clear();
      engine_.receiver.Reset();
      if (mode == 0) {
        Push(c.input);
      } else {
        size_t pos = 0;
        while (pos < c.input.size()) {
          const size_t n = mode == 1 ? 1 : std::uniform_int_distribution<size_t>(1, 37)(rng);
          Push(c.input.substr(pos, n));
          pos += n;
        }
      }
      EXPECT_EQ(got_, c.sentences) << c.label << " (mode " << mode << ")";
      EXPECT_EQ(engine_.receiver.state(), kRxIdle) << c.label;
    }
  }
}

TEST_F(ReceiverThroughRing, ShortRefusalKeepsItsAsteriskAndEndsAtTen) {
  Push(Refusal());
  ASSERT_EQ(got_.size(), 1u);
  EXPECT_EQ(got_[0], "$LOG102,0*");
  EXPECT_EQ(got_[0].size(), 10u);
}

TEST_F(ReceiverThroughRing, LowercaseChecksumWaitsForUppercaseDigits) {
  Push("$LOG104,1*6c\r\n");
  EXPECT_TRUE(got_.empty());
  EXPECT_EQ(engine_.receiver.state(), kRxChecksumLow);
  Push("C\r\n");
  EXPECT_EQ(got_, std::vector<std::string>{"$LOG104,1"});
}

TEST_F(ReceiverThroughRing, ChecksumDropsAreCounted) {
  Push("$LOG103,1*00\r\n$LOG103,1*01\r\n");
  EXPECT_TRUE(got_.empty());
  EXPECT_EQ(engine_.receiver.checksum_drops(), 2u);
}

// A block that is wrong by both counts is a line fault, told apart from text drops.
TEST_F(ReceiverThroughRing, BlockDropsAreCountedApart) {
  std::string block = BlockSkippingDollars(3, "a$b$c$");
  block[12] ^= 0x01;
  Push(block + "$LOG103,1*00\r\n" + Block(4, "$ok"));
  EXPECT_EQ(got_, std::vector<std::string>{BlockSentence(4, "$ok")});
  EXPECT_EQ(engine_.receiver.checksum_drops(), 2u);
  EXPECT_EQ(engine_.receiver.block_checksum_drops(), 1u);
}

TEST_F(ReceiverThroughRing, CorruptedBlockPayloadIsDroppedNotDispatched) {
  std::string block = Block(3, std::string(100, '\x11'));
  block[50] ^= 0x04;
  Push(block + Block(4, "ok"));
  EXPECT_EQ(got_, std::vector<std::string>{BlockSentence(4, "ok")});
}

TEST(ReceiverBinaryProtocol, SeventhStartPairStopsTheProgram) {
  CDeviceEngine engine;
  test::RecordingObserver observer;
  engine.SetObserver(&observer);
  engine.link_flag = true;
  engine.operation_running = true;
  engine.worker_running = true;
  // 0xA0 repeated before 0xA2 still counts as one pair.
  const std::string pair = "\xA0\xA0\xA2";
  for (int i = 0; i < 6; ++i) engine.receiver.Feed(pair);
  EXPECT_EQ(engine.receiver.binary_sync_count(), 6);
  EXPECT_TRUE(engine.link_flag);
  EXPECT_TRUE(observer.messages().empty());

  engine.receiver.Feed(pair);
  EXPECT_FALSE(engine.link_flag);
  EXPECT_FALSE(engine.operation_running);
  EXPECT_FALSE(engine.worker_running);
  ASSERT_EQ(observer.messages().size(), 1u);
  EXPECT_EQ(observer.messages()[0],
            std::string(LoadString(kStrCaption)) + "|" + kBinaryProtocolText);
  EXPECT_EQ(observer.close_requests(), 1);

  // A connect resets the receiver but not the count: the next pair stops again.
  engine.receiver.Reset();
  engine.receiver.Feed(pair);
  EXPECT_EQ(observer.close_requests(), 2);
}

TEST(ReceiverBinaryProtocol, BrokenPairDoesNotCount) {
  SentenceReceiver receiver;
  receiver.Feed("\xA0\x41\xA2\xA0"s);
  EXPECT_EQ(receiver.binary_sync_count(), 0);
  EXPECT_EQ(receiver.state(), kRxBinarySync);
}

}  // namespace
}  // namespace tessor
