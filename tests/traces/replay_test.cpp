// The simulator's replay of a recorded trace, driven in-process over a pty.

#include "tools/devsim/replay.h"

#include <gmock/gmock.h>

#include <memory>

#include "engine/framing.h"
#include "sim_harness.h"
#include "tools/devsim/pty.h"

namespace tessor::devsim::test {
namespace {

using std::chrono::milliseconds;
using ::testing::HasSubstr;

// Line numbers as a trace file would have them: the header is line 1.
std::vector<size_t> FileNumbers(size_t count) {
  std::vector<size_t> numbers;
  for (size_t i = 0; i < count; ++i) numbers.push_back(i + 2);
  return numbers;
}

class ReplayTest : public SimTest {
 protected:
  void Replay(const std::vector<trace::Line>& lines, bool pace) {
    const auto ends = OpenSimulatorPty();
    ASSERT_TRUE(ends.has_value());
    ReplayOptions options;
    options.pace = pace;
    replayer_ = std::make_unique<Replayer>(
        ends->master, MakeReplayScript(lines, FileNumbers(lines.size())), options);
    host_ = std::make_unique<SimClient>(ends->slave_path);
    ASSERT_TRUE(host_->is_open());
    replayer_->Start();
  }

  void TearDown() override {
    if (replayer_) replayer_->Stop();
    SimTest::TearDown();
  }

  // Waits for the replay to notice a divergence.
  std::string Divergence() {
    for (int i = 0; i < 1500 && replayer_->divergence().empty(); ++i) {
      std::this_thread::sleep_for(milliseconds(20));
    }
    return replayer_->divergence();
  }

  std::unique_ptr<Replayer> replayer_;
  std::unique_ptr<SimClient> host_;
};

TEST_F(ReplayTest, ASimulatorSessionReplaysToTheSameSentencesAndBlocks) {
  Run(WithTrack(30));
  const char* requests[] = {"$PKVN111", "$PKVN101,0", "$PKVN102,0,2,30"};
  std::vector<Received> recorded;
  for (const char* request : requests) {
    client_->Send(request);
    for (Received& r : client_->Drain()) recorded.push_back(std::move(r));
  }
  ASSERT_GE(recorded.size(), 4u);

  Replay(sim_->TranscriptLines(), /*pace=*/false);
  std::vector<Received> replayed;
  for (const char* request : requests) {
    host_->Send(request);
    for (Received& r : host_->Drain()) replayed.push_back(std::move(r));
  }
  ASSERT_EQ(replayed.size(), recorded.size());
  for (size_t i = 0; i < recorded.size(); ++i) {
    EXPECT_EQ(replayed[i].text, recorded[i].text);
    EXPECT_EQ(replayed[i].payload, recorded[i].payload);
    EXPECT_TRUE(replayed[i].checksum_ok);
  }
  EXPECT_TRUE(replayer_->complete());
  EXPECT_EQ(replayer_->divergence(), "");
}

TEST_F(ReplayTest, AHostSentenceInPiecesStillMatches) {
  const std::string ask = FramedSentence("$PKVN111");
  Replay({{10, trace::Direction::kHost, ask},
          {20, trace::Direction::kDevice, FramedSentence("$LOG111,5,Bench")}},
         /*pace=*/false);
  host_->SendRaw(ask.substr(0, 4));
  std::this_thread::sleep_for(milliseconds(50));  // lets the first piece be read on its own
  host_->SendRaw(ask.substr(4));
  const auto answer = host_->Next();
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->text, "$LOG111,5,Bench");
  EXPECT_TRUE(replayer_->complete());
}

// Two of the host's threads wrote at once when it was recorded: their order
// on the line is chance, so either order follows the trace.
TEST_F(ReplayTest, SentencesRecordedAtOnceMayComeInEitherOrder) {
  Replay({{100, trace::Direction::kHost, FramedSentence("$PSRF107")},
          {100, trace::Direction::kHost, FramedSentence("$PKVN113,3")},
          {101, trace::Direction::kDevice, FramedSentence("$LOG113,1")},
          {101, trace::Direction::kDevice, FramedSentence("$PSRFTXT,Ver")}},
         /*pace=*/false);
  host_->Send("$PKVN113,3");
  host_->Send("$PSRF107");
  const auto answers = host_->Drain();
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[0].text, "$LOG113,1");
  EXPECT_EQ(answers[1].text, "$PSRFTXT,Ver");
  EXPECT_TRUE(replayer_->complete());
  EXPECT_EQ(replayer_->divergence(), "");
}

// The connect's queries run beside the handshake thread: on a loaded host one
// thread's sentence comes early by far more than the moment above.
TEST_F(ReplayTest, AnotherCommandMayComeEarlyBeforeItsRecordedPlace) {
  Replay({{100, trace::Direction::kHost, FramedSentence("$PKVN108")},
          {110, trace::Direction::kDevice, FramedSentence("$LOG108,1")},
          {900, trace::Direction::kHost, FramedSentence("$PKVN113,3")},
          {910, trace::Direction::kDevice, FramedSentence("$LOG113,1")}},
         /*pace=*/false);
  host_->Send("$PKVN113,3");
  host_->Send("$PKVN108");
  const auto answers = host_->Drain();
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[0].text, "$LOG113,1");
  EXPECT_EQ(answers[1].text, "$LOG108,1");
  EXPECT_TRUE(replayer_->complete());
  EXPECT_EQ(replayer_->divergence(), "");
}

// The same command twice is the host's own sequence (track headers count
// down): out of order it is a divergence, named at the awaited sentence.
TEST_F(ReplayTest, ASentenceOfACommandStillAwaitedKeepsItsOrder) {
  Replay({{100, trace::Direction::kHost, FramedSentence("$PKVN101,2")},
          {110, trace::Direction::kDevice, FramedSentence("$LOG101,2")},
          {900, trace::Direction::kHost, FramedSentence("$PKVN101,1")}},
         /*pace=*/false);
  host_->Send("$PKVN101,1");
  EXPECT_THAT(Divergence(), HasSubstr("differs from trace line 2"));
}

// A host whose wait ran out asks again: the one recorded answer serves both
// asks, and the replay goes on. Asking again for anything but the last ask of
// that command is still a divergence.
TEST_F(ReplayTest, AHostRepeatingItsLastAskIsServedByTheRecordedAnswer) {
  Replay({{100, trace::Direction::kHost, FramedSentence("$PKVN113,3")},
          {110, trace::Direction::kDevice, FramedSentence("$LOG113,1")},
          {200, trace::Direction::kHost, FramedSentence("$PKVN108")},
          {210, trace::Direction::kDevice, FramedSentence("$LOG108,1")},
          {300, trace::Direction::kHost, FramedSentence("$PKVN101,2")},
          {310, trace::Direction::kDevice, FramedSentence("$LOG101,2")},
          {400, trace::Direction::kHost, FramedSentence("$PKVN101,1")},
          {410, trace::Direction::kDevice, FramedSentence("$LOG101,1")},
          {500, trace::Direction::kHost, FramedSentence("$PKVN101,0")}},
         /*pace=*/false);
  host_->Send("$PKVN113,3");
  host_->Send("$PKVN113,3");
  host_->Send("$PKVN108");
  const auto answers = host_->Drain();
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[0].text, "$LOG113,1");
  EXPECT_EQ(answers[1].text, "$LOG108,1");
  EXPECT_EQ(replayer_->divergence(), "");
  host_->Send("$PKVN101,2");
  host_->Send("$PKVN101,1");
  host_->Send("$PKVN101,2");  // an earlier ask, not the last one of its command
  EXPECT_THAT(Divergence(), HasSubstr("differs from trace line 10"));
}

TEST_F(ReplayTest, SentencesRecordedSecondsApartKeepTheirOrder) {
  Replay({{100, trace::Direction::kHost, FramedSentence("$PKVN004")},
          {110, trace::Direction::kDevice, FramedSentence("$LOG004,1")},
          {5000, trace::Direction::kHost, FramedSentence("$PKVN111")}},
         /*pace=*/false);
  host_->Send("$PKVN111");
  EXPECT_THAT(Divergence(), HasSubstr("differs from trace line 2"));
}

TEST_F(ReplayTest, KeepsTheRecordedDelay) {
  const std::vector<trace::Line> lines = {
      {1000, trace::Direction::kHost, FramedSentence("$PKVN004")},
      {1600, trace::Direction::kDevice, FramedSentence("$LOG004,1")}};
  Replay(lines, /*pace=*/true);
  const auto sent = std::chrono::steady_clock::now();
  host_->Send("$PKVN004");
  const auto answer = host_->Next(milliseconds(30000));
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->text, "$LOG004,1");
  EXPECT_GE(std::chrono::steady_clock::now() - sent, milliseconds(600));
}

TEST_F(ReplayTest, ASentenceBeyondTheTraceIsADivergence) {
  Replay({{10, trace::Direction::kHost, FramedSentence("$PKVN004")},
          {20, trace::Direction::kDevice, FramedSentence("$LOG004,1")}},
         /*pace=*/false);
  EXPECT_EQ(host_->Ask("$PKVN004")->text, "$LOG004,1");
  host_->Send("$PKVN111");
  EXPECT_THAT(Divergence(), HasSubstr("after the trace's last one (line 2): \"" +
                                      trace::Escape(FramedSentence("$PKVN111")) + "\""));
}

TEST_F(ReplayTest, AnUnfinishedDifferingSentenceIsReportedAfterAWhile) {
  Replay({{10, trace::Direction::kHost, FramedSentence("$PKVN004")},
          {20, trace::Direction::kDevice, FramedSentence("$LOG004,1")}},
         /*pace=*/false);
  host_->SendRaw("$PKVN1");  // no line end ever comes
  EXPECT_THAT(Divergence(),
              HasSubstr("differs from trace line 2: expected \"" +
                        trace::Escape(FramedSentence("$PKVN004")) + "\", got \"$PKVN1\""));
  EXPECT_FALSE(host_->Next(milliseconds(200)).has_value()) << "nothing is answered any more";
}

}  // namespace
}  // namespace tessor::devsim::test
