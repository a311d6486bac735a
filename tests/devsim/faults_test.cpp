// Every fault of the scenario file doing what it says, over the line.

#include <gmock/gmock.h>

#include <chrono>

#include "sim_harness.h"

namespace tessor::devsim::test {
namespace {

using std::chrono::milliseconds;

class FaultsTest : public SimTest {
 protected:
  size_t PayloadBytes(const std::string& request) {
    client_->Send(request);
    size_t total = 0;
    for (const auto& r : client_->Drain()) total += r.short_refusal ? 0 : r.payload.size();
    return total;
  }
};

TEST_F(FaultsTest, BusyAnswersTheBusyReportThatManyTimes) {
  Scenario s = WithTrack(2);
  s.faults.busy = {{101, 2}};
  Run(s);
  EXPECT_EQ(Answer("$PKVN101,0"), "$LOG000,1");
  EXPECT_EQ(Answer("$PKVN100").substr(0, 7), "$LOG100");  // other commands unaffected
  EXPECT_EQ(Answer("$PKVN101,0"), "$LOG000,1");
  EXPECT_EQ(Answer("$PKVN101,0"), "$LOG101,70314,2,2,0");
}

TEST_F(FaultsTest, SilentIgnoresTheCommandThatManyTimes) {
  Scenario s;
  s.faults.silent = {{4, 1}};
  Run(s);
  client_->Send("$PKVN004");
  EXPECT_FALSE(client_->Next(milliseconds(300)));
  EXPECT_EQ(Answer("$PKVN004"), "$LOG004,1");
}

TEST_F(FaultsTest, BadAckXorOnceForEachListedBlock) {
  Scenario s;
  s.faults.bad_ack_xor = {1};
  Run(s);
  // Block 1 of a firmware-209 upload is the one at address 128.
  EXPECT_EQ(Answer("$PKVN999,0,AB00AB"), "$LOG999,0,1,AB");
  EXPECT_EQ(Answer("$PKVN999,128,AB00AB"), "$LOG999,128,1,54");
  EXPECT_EQ(Answer("$PKVN999,128,AB00AB"), "$LOG999,128,1,AB");
}

TEST_F(FaultsTest, CorruptChecksumEveryNthSentence) {
  Scenario s;
  s.faults.corrupt_checksum_every = 2;
  Run(s);
  for (int i = 0; i < 4; ++i) client_->Send("$PKVN004");
  const auto answers = client_->Drain();
  ASSERT_EQ(answers.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(answers[i].text, "$LOG004,1");
    EXPECT_EQ(answers[i].checksum_ok, i % 2 == 0) << i;
  }
}

TEST_F(FaultsTest, StopBlocksAfterInListedRequestsOnly) {
  Scenario s = WithTrack(100);
  s.faults.stop_blocks_after = 500;
  s.faults.stop_blocks_requests = {2};
  Run(s);
  EXPECT_EQ(PayloadBytes("$PKVN102,0,2,100"), 2000u);
  EXPECT_EQ(PayloadBytes("$PKVN102,0,2,100"), 500u);
  EXPECT_EQ(PayloadBytes("$PKVN102,0,2,100"), 2000u);
}

TEST_F(FaultsTest, RefuseRequestsByNumber) {
  Scenario s = WithTrack(10);
  s.faults.refuse_requests = {1, 3};
  Run(s);
  const auto first = client_->Ask("$PKVN102,0,2,10");
  ASSERT_TRUE(first);
  EXPECT_TRUE(first->short_refusal);
  EXPECT_EQ(PayloadBytes("$PKVN102,0,2,10"), 200u);
  EXPECT_EQ(PayloadBytes("$PKVN102,0,2,10"), 0u);
}

TEST_F(FaultsTest, VanishAfterMillisecondsClosesTheLine) {
  Scenario s;
  s.faults.vanish_after_ms = 200;
  const auto start = std::chrono::steady_clock::now();
  Run(s);
  // An answer before the time is up would need the machine to be quick: only
  // the lower bound is the fault's own promise.
  EXPECT_TRUE(sim_->WaitFinished(milliseconds(30000)));
  EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(200));
  EXPECT_TRUE(sim_->vanished());
  EXPECT_FALSE(client_->Next(milliseconds(500)));
  EXPECT_TRUE(client_->line_lost());
}

TEST_F(FaultsTest, VanishAfterBytesCutsTheAnswer) {
  Scenario s;
  s.faults.vanish_after_bytes = 20;
  Run(s);
  client_->Send("$PKVN111");  // "$LOG111,13,DevSim Logger*..": longer than 20 bytes
  EXPECT_FALSE(client_->Next(milliseconds(1000)));
  EXPECT_TRUE(sim_->WaitFinished(milliseconds(2000)));
  EXPECT_TRUE(sim_->vanished());
  EXPECT_TRUE(client_->line_lost());
  // Exactly 20 bytes left; the pty may drop them on hang-up, as a cable would.
  EXPECT_LE(client_->bytes_read(), 20u);
  EXPECT_THAT(sim_->TranscriptText(), ::testing::HasSubstr(" D $LOG111,13,DevSim Lo\n"));
}

TEST_F(FaultsTest, BinaryProtocolPairsAfterTheFirstCommand) {
  Scenario s;
  s.faults.binary_protocol_pairs = 7;
  Run(s);
  EXPECT_EQ(Answer("$PKVN004"), "$LOG004,1");
  EXPECT_EQ(Answer("$PKVN004"), "$LOG004,1");
  std::string pairs;
  for (int i = 0; i < 7; ++i) pairs += "\xA0\xA2";
  EXPECT_EQ(client_->noise(), pairs);
}

TEST_F(FaultsTest, GarbageBetweenSentences) {
  Scenario s;
  s.faults.garbage_between_sentences = 5;
  Run(s);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Answer("$PKVN004"), "$LOG004,1");
  // Before the second and the third answer, not before the first.
  EXPECT_EQ(client_->noise().size(), 10u);
  EXPECT_EQ(client_->noise().find('$'), std::string::npos);
}

// Database reads of 1, 2 and 3 bytes tell their answers apart.
TEST_F(FaultsTest, LateAnswersGoOutAfterTheirDelayAndOthersKeepTheirOrder) {
  Scenario s;
  s.faults.late = {{115, {1, 2}, 400}};
  Run(s);
  const auto sent = std::chrono::steady_clock::now();
  client_->Send("$PKVN115,0,1");
  client_->Send("$PKVN004");  // other commands are counted on their own
  client_->Send("$PKVN115,0,2");
  client_->Send("$PKVN115,0,3");
  std::vector<std::string> texts;
  for (int i = 0; i < 4; ++i) {
    const auto r = client_->Next(milliseconds(5000));
    ASSERT_TRUE(r) << i;
    texts.push_back(r->text);
  }
  EXPECT_GE(std::chrono::steady_clock::now() - sent, milliseconds(400));
  EXPECT_THAT(texts, ::testing::ElementsAre("$LOG004,1", "$LOG115,3,FFFFFF", "$LOG115,1,FF",
                                            "$LOG115,2,FFFF"));
}

TEST_F(FaultsTest, LateCountsRequestsOverTheWholeRun) {
  Scenario s;
  s.faults.late = {{115, {2}, 300}};
  Run(s);
  EXPECT_EQ(Answer("$PKVN115,0,1"), "$LOG115,1,FF");
  client_->Send("$PKVN115,0,2");
  client_->Send("$PKVN115,0,3");
  EXPECT_EQ(client_->Next()->text, "$LOG115,3,FFFFFF");
  EXPECT_EQ(client_->Next()->text, "$LOG115,2,FFFF");
}

TEST_F(FaultsTest, NotBusyReportsComeBeforeSettingAndQueryAnswersOnly) {
  Scenario s = WithTrack(2);
  s.faults.not_busy_reports = true;
  s.faults.busy = {{100, 1}};
  Run(s);
  for (const char* command : {"$PKVN004", "$PKVN101,0", "$PKVN103,1,0", "$PKVN108"}) {
    client_->Send(command);
    const auto report = client_->Next();
    const auto answer = client_->Next();
    ASSERT_TRUE(report && answer) << command;
    EXPECT_EQ(report->text, "$LOG000,0") << command;
    EXPECT_EQ(answer->text.substr(0, 7), "$LOG" + std::string(command + 5, 3)) << command;
  }
  // A busy answer and the answers of transfers and identification come alone.
  EXPECT_EQ(Answer("$PKVN100"), "$LOG000,1");
  const auto block = client_->Ask("$PKVN102,0,2,2");
  ASSERT_TRUE(block);
  EXPECT_TRUE(block->block);
  EXPECT_EQ(Answer("$PKVN115,0,1"), "$LOG115,1,FF");
  EXPECT_THAT(Answer("$PSRF107"), ::testing::HasSubstr("Varnelco"));
}

}  // namespace
}  // namespace tessor::devsim::test
