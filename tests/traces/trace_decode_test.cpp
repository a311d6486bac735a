// trace-decode: a recorded session as a person reads it.

#include "tools/cli/trace_decode.h"

#include <gmock/gmock.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "engine/framing.h"
#include "run_program.h"
#include "tools/devsim/answers.h"

namespace tessor::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using trace::Direction;
using trace::Line;

std::string Framed(std::string_view text) {
  return FramedSentence(text);
}

TEST(TraceDecodeTest, NamesEachSentenceWithTimeDirectionAndChecksum) {
  std::string spoiled = Framed("$LOG004,1");
  devsim::CorruptChecksum(spoiled);
  const std::string out = DecodeTrace({{0, Direction::kNote, "open /dev/ttyUSB0"},
                                       {12, Direction::kHost, Framed("$PKVN101,0")},
                                       {30, Direction::kDevice, Framed("$LOG101,70314,0,2,0")},
                                       {40, Direction::kHost, Framed("$PKVN004")},
                                       {45, Direction::kDevice, spoiled},
                                       {50, Direction::kNote, "close"}});
  EXPECT_THAT(out, HasSubstr("       0 ms  !  open /dev/ttyUSB0\n"));
  EXPECT_THAT(out,
              HasSubstr("      12 ms  H  $PKVN101,0  101 track header command  checksum good\n"));
  EXPECT_THAT(
      out,
      HasSubstr("      30 ms  D  $LOG101,70314,0,2,0  101 track header answer  checksum good\n"));
  EXPECT_THAT(out, HasSubstr("      45 ms  D  $LOG004,1  004 battery answer  checksum bad"));
  EXPECT_THAT(out, HasSubstr("drops\t1 sentences with a bad or missing checksum"));
}

TEST(TraceDecodeTest, DataBlocksSplitOverReadsShowIndexLengthFirstBytesAndBothRules) {
  std::vector<uint8_t> payload;
  for (int i = 0; i < 20; ++i) payload.push_back(i == 1 ? '$' : static_cast<uint8_t>(0x10 + i));
  // A device that leaves "$" bytes out of the sum: the receiver takes it by its second rule.
  const std::string block =
      devsim::DataBlockAnswer(258, payload, devsim::BlockChecksum::kSkipDollar);
  const std::string out =
      DecodeTrace({{100, Direction::kHost, Framed("$PKVN102,0,2,20")},
                   {110, Direction::kDevice, block.substr(0, 9)},
                   {112, Direction::kDevice, block.substr(9) + devsim::ShortRefusal()}});
  EXPECT_THAT(out,
              HasSubstr("     110 ms  D  $LOG102 block 258, 20 bytes: 10 24 12 13 14 15 16 17 ..."
                        "  track data block  checksum bad over all bytes, good without \"$\" "
                        "bytes\n"));
  EXPECT_THAT(out, HasSubstr("     112 ms  D  $LOG102,0  102 track data answer  checksum good\n"));
  EXPECT_THAT(out, HasSubstr("device to host\t" + std::to_string(block.size() + 14) +
                             " bytes, 2 sentences, 1 data blocks\n"));
  EXPECT_THAT(out, HasSubstr("drops\t0 sentences"));
}

TEST(TraceDecodeTest, SilencesLongerThanAWaitAndTheSummary) {
  const std::string host = Framed("$PKVN111");
  const std::string device = Framed("$LOG111,5,Bench");
  const std::string out = DecodeTrace({{1000, Direction::kHost, host},
                                       {1400, Direction::kDevice, device},
                                       {7000, Direction::kHost, host},
                                       {7600, Direction::kDevice, "$LOG11"}});
  EXPECT_THAT(out, Not(HasSubstr("silence of 400 ms")));
  EXPECT_THAT(out, HasSubstr("    1400 ms     silence of 5600 ms, longer than the track header "
                             "wait (5000 ms)\n"));
  EXPECT_THAT(out, HasSubstr("silence of 600 ms, longer than the block acknowledgement wait"));
  EXPECT_THAT(out, HasSubstr("host to device\t" + std::to_string(2 * host.size()) +
                             " bytes, 2 sentences\n"));
  EXPECT_THAT(out, HasSubstr("6 bytes of unfinished sentences"));
  EXPECT_THAT(out, HasSubstr("duration\t6600 ms\n"));
  const size_t bytes = 2 * host.size() + device.size() + 6;
  EXPECT_THAT(out, HasSubstr("mean rate\t" +
                             std::to_string(static_cast<long>(bytes * 1000.0 / 6600 + 0.5)) +
                             " bytes/s\n"));
}

TEST(TraceDecodeProgramTest, InputErrorsAreNoSuccess) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("trace-decode-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string scratch = (dir / "run").string();

  auto run = test::RunProgram({TESSORCTL, "trace-decode", (dir / "none.trace").string()}, scratch);
  EXPECT_EQ(run.status, 65) << run.err;
  EXPECT_THAT(run.err, HasSubstr("none.trace"));

  std::ofstream(dir / "bad.trace") << "# tessor trace 1\n      10 H ok\n      11 Q what\n";
  run = test::RunProgram({TESSORCTL, "trace-decode", (dir / "bad.trace").string()}, scratch);
  EXPECT_EQ(run.status, 65);
  EXPECT_THAT(run.err, HasSubstr("line 3"));
  EXPECT_EQ(run.out, "");

  std::ofstream(dir / "good.trace") << "# tessor trace 1\n"
                                    << trace::FormatLine({5, Direction::kHost, Framed("$PKVN111")});
  run = test::RunProgram({TESSORCTL, "trace-decode", (dir / "good.trace").string()}, scratch);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out,
              HasSubstr("       5 ms  H  $PKVN111  111 device name command  checksum good"));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tessor::cli
