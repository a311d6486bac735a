// Track requests, database upload and read-back, the erase of mode 1, and the
// GPS-mouse stream.

#include <gmock/gmock.h>

#include <cstdio>

#include "sim_harness.h"
#include "tools/devsim/answers.h"

namespace tessor::devsim::test {
namespace {

using std::chrono::milliseconds;
using ::testing::HasSubstr;
using ::testing::StartsWith;

std::vector<uint8_t> Payloads(const std::vector<Received>& blocks) {
  std::vector<uint8_t> out;
  for (const Received& b : blocks) out.insert(out.end(), b.payload.begin(), b.payload.end());
  return out;
}

std::string UploadCommand(uint32_t address, const std::vector<uint8_t>& bytes) {
  uint8_t sum = 0;
  for (uint8_t b : bytes) sum ^= b;
  return "$PKVN999," + std::to_string(address) + "," + HexText(bytes) + HexText({&sum, 1});
}

class TransferTest : public SimTest {};

TEST_F(TransferTest, TrackRequestSendsIndexedBlocksOfAtMost240Bytes) {
  Run(WithTrack(100));  // 2000 bytes of 20-byte records
  client_->Send("$PKVN102,0,2,100");
  const auto blocks = client_->Drain();
  ASSERT_EQ(blocks.size(), 9u);
  for (size_t i = 0; i < blocks.size(); ++i) {
    EXPECT_TRUE(blocks[i].block && blocks[i].checksum_ok);
    EXPECT_EQ(blocks[i].index, i);
    EXPECT_EQ(blocks[i].payload.size(), i < 8 ? 240u : 80u);
  }
  EXPECT_EQ(Payloads(blocks), sim_->LogDump());
}

TEST_F(TransferTest, TrackRequestFromAnOffsetStartsAtIndexZero) {
  Run(WithTrack(100));
  client_->Send("$PKVN102,1000,2,3");
  const auto blocks = client_->Drain();
  ASSERT_EQ(blocks.size(), 1u);
  EXPECT_EQ(blocks[0].index, 0);
  const auto log = sim_->LogDump();
  EXPECT_EQ(blocks[0].payload, std::vector<uint8_t>(log.begin() + 1000, log.begin() + 1060));
}

TEST_F(TransferTest, ImpossibleTrackRequestsAreRefusedShort) {
  Run(WithTrack(100));
  for (const char* request : {"$PKVN102,0,2,101", "$PKVN102,0,3,1", "$PKVN102,0,2,0"}) {
    const auto r = client_->Ask(request);
    ASSERT_TRUE(r) << request;
    EXPECT_TRUE(r->short_refusal && r->checksum_ok) << request;
  }
}

TEST_F(TransferTest, LargestRequestUsesIndex272) {
  Run(WithTrack(3276));  // 65520 bytes: 273 full blocks
  client_->Send("$PKVN102,0,2,3276");
  const auto blocks = client_->Drain();
  ASSERT_EQ(blocks.size(), 273u);
  EXPECT_EQ(blocks.back().index, 272);
  EXPECT_EQ(Payloads(blocks).size(), 65520u);
}

TEST_F(TransferTest, UploadedBlocksReadBackByteForByte) {
  Scenario s;
  s.erase_reports_ms = 0;
  Run(s);
  std::vector<uint8_t> image(300);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 13);
  image[0] = '%', image[1] = 'C', image[2] = 'D', image[3] = 'B';
  for (uint32_t at = 0; at < image.size(); at += 128) {
    const std::vector<uint8_t> block(image.begin() + at,
                                     image.begin() + std::min<size_t>(at + 128, image.size()));
    std::string command = UploadCommand(at, block);
    if (at == 0) command.replace(11, 8, "%CDB");  // the header's magic goes as text
    uint8_t sum = 0;
    for (uint8_t b : block) sum ^= b;
    char expected[64];
    std::snprintf(expected, sizeof expected, "$LOG999,%u,1,%02X", at, sum);
    EXPECT_EQ(Answer(command), expected);
  }
  std::vector<uint8_t> read;
  for (uint32_t at = 0; at < image.size(); at += 32) {
    const uint32_t n = std::min<uint32_t>(32, image.size() - at);
    const std::string answer = Answer("$PKVN115," + std::to_string(at) + "," + std::to_string(n));
    ASSERT_THAT(answer, StartsWith("$LOG115," + std::to_string(n) + ","));
    const std::string hex = answer.substr(answer.rfind(',') + 1);
    ASSERT_EQ(hex.size(), 2 * n);
    for (size_t i = 0; i < hex.size(); i += 2) {
      read.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
  }
  EXPECT_EQ(read, image);
  EXPECT_EQ(sim_->DatabaseDump(), image);
}

TEST_F(TransferTest, DamagedUploadIsAcknowledgedWithItsOwnXorAndNotWritten) {
  Run(Scenario{});
  // The carried XOR (00) does not match the bytes (01 ^ 02 = 03).
  EXPECT_EQ(Answer("$PKVN999,64,010200"), "$LOG999,64,1,03");
  EXPECT_TRUE(sim_->DatabaseDump().empty());
  client_->Send("$PKVN999,64,01020");  // half a byte: not understood
  EXPECT_FALSE(client_->Next(milliseconds(400)));
}

TEST_F(TransferTest, ReadsOutsideMemoryOrTooLongAnswerZero) {
  Run(Scenario{});
  EXPECT_EQ(Answer("$PKVN115,2097150,4"), "$LOG115,0");
  EXPECT_EQ(Answer("$PKVN115,0,33"), "$LOG115,0");
  EXPECT_EQ(Answer("$PKVN115,2097148,4"), "$LOG115,4,FFFFFFFF");
}

TEST_F(TransferTest, ModeOneErasesDatabaseAndReportsForTheConfiguredTime) {
  Scenario s;
  s.database.assign(64, 0x11);
  s.erase_reports_ms = 600;
  Run(s);
  EXPECT_EQ(Answer("$PKVN115,0,2"), "$LOG115,2,1111");
  EXPECT_EQ(Answer("$PKVN113,1"), "$LOG113,1");
  // While it erases, the device only reports busy.
  EXPECT_EQ(Answer("$PKVN100"), "$PSRFTXTErase now");
  const auto rest = client_->Drain(milliseconds(500));
  size_t reports = 1, busy = 0;
  for (const auto& r : rest) {
    if (r.text == "$PSRFTXTErase now") ++reports;
    if (r.text == "$LOG000,1") ++busy;
  }
  // One report every 250 ms from the mode change on, for 600 ms.
  EXPECT_EQ(reports, 3u);
  EXPECT_EQ(busy, 1u);
  EXPECT_EQ(Answer("$PKVN115,0,2"), "$LOG115,2,FFFF");
  // The dump still covers the initial image's length.
  EXPECT_EQ(sim_->DatabaseDump(), std::vector<uint8_t>(64, 0xFF));
}

TEST_F(TransferTest, GpsMouseStreamsWhileTheSwitchIsOn) {
  Run(Scenario{});
  EXPECT_EQ(Answer("$PKVN103,1,1"), "$LOG103,1");
  // Two seconds' worth, one group a second.
  std::vector<Received> first;
  for (int i = 0; i < 8; ++i) {
    auto r = client_->Next(milliseconds(1500));
    ASSERT_TRUE(r) << i;
    first.push_back(*r);
  }
  const char* kinds[] = {"$GPGGA,", "$GPGSA,", "$GPGSV,", "$GPRMC,"};
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_THAT(first[i].text, StartsWith(kinds[i % 4]));
    EXPECT_TRUE(first[i].checksum_ok);
  }
  EXPECT_THAT(first[0].text, HasSubstr(",2502.0"));  // the default drive's start
  EXPECT_THAT(first[3].text, HasSubstr(",A,2502.0"));
  client_->Send("$PKVN103,1,0");
  const auto after = client_->Drain(milliseconds(1300), milliseconds(4000));
  ASSERT_FALSE(after.empty());
  EXPECT_EQ(after.back().text, "$LOG103,1");
}

}  // namespace
}  // namespace tessor::devsim::test
