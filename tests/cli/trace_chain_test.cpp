// The loop a bug report goes through: a session recorded with --trace, read
// with trace-decode, and played back to a second run of tessorctl, which must
// print what the recorded run printed. A trace whose device answer was edited
// must make the playback name the host sentence that no longer follows it.
#include <gmock/gmock.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "engine/framing.h"
#include "engine/trace_format.h"
#include "filled_track.h"
#include "tessorctl_fixture.h"
#include "tools/devsim/pty.h"
#include "tools/devsim/replay.h"

namespace tessor {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// "$LOG108,a,b,..." with its FIELD-th value (from 1) set to VALUE, framed anew
// so the edited answer is one the host takes as sound.
std::string WithField(const std::string& framed, size_t field, const std::string& value) {
  std::vector<std::string> parts;
  std::istringstream in(framed.substr(0, framed.find('*')));
  for (std::string part; std::getline(in, part, ',');) parts.push_back(part);
  if (field >= parts.size()) return "";
  parts[field] = value;
  std::string text = parts[0];
  for (size_t i = 1; i < parts.size(); ++i) text += "," + parts[i];
  return FramedSentence(text);
}

struct Edited {
  std::string text;           // the whole trace with the answer changed
  size_t next_host_line = 0;  // line number of the host sentence after that answer
  std::string next_host;      // that sentence, unframed
};

// Changes the track count (value 8) of the trace's configuration answer.
Edited ChangeTrackCount(const std::string& trace_text, const std::string& count) {
  Edited edited;
  bool changed = false;
  const std::vector<std::string> lines = SplitLines(trace_text);
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string line = lines[i] + "\n";
    trace::Line parsed;
    if (!changed && trace::ParseLine(line, &parsed) &&
        parsed.direction == trace::Direction::kDevice && parsed.bytes.starts_with("$LOG108,")) {
      parsed.bytes = WithField(parsed.bytes, 8, count);
      line = trace::FormatLine(parsed);
      changed = !parsed.bytes.empty();
    } else if (changed && edited.next_host_line == 0 && trace::ParseLine(line, &parsed) &&
               parsed.direction == trace::Direction::kHost) {
      edited.next_host_line = i + 1;
      edited.next_host = parsed.bytes.substr(0, parsed.bytes.find('*'));
    }
    edited.text += line;
  }
  return edited;
}

class TraceChain : public test::TessorctlFixture {
 protected:
  // Plays TRACE_PATH to a fresh run of "tessorctl info"; the replay's
  // divergence ("" when the host followed the trace) goes to DIVERGENCE.
  test::ProgramResult ReplayInfo(const std::string& trace_path, const std::string& scratch,
                                 std::string* divergence, bool* complete) {
    devsim::ReplayScript script;
    std::string error;
    EXPECT_TRUE(devsim::LoadReplayScript(trace_path, &script, &error)) << error;
    const auto ends = devsim::OpenSimulatorPty();
    EXPECT_TRUE(ends.has_value());
    if (!ends) return {};
    devsim::Replayer replayer(ends->master, std::move(script),
                              devsim::ReplayOptions{/*pace=*/false, /*once=*/true, {}});
    replayer.Start();
    const test::ProgramResult run = RunOn(ends->slave_path, {"info"}, scratch);
    // The replay may still be taking in the host's last sentence and its close.
    EXPECT_TRUE(WaitFor(
        [&] {
          return replayer.WaitFinished(std::chrono::milliseconds(0)) ||
                 !replayer.divergence().empty();
        },
        60000));
    replayer.Stop();
    *divergence = replayer.divergence();
    *complete = replayer.complete();
    return run;
  }

  void Record(const std::string& file) {
    devsim::Scenario s;
    s.tracks = {test::FilledTrack(240315, 40), test::FilledTrack(240316, 30),
                test::FilledTrack(240317, 20)};
    StartDevice(s);
    recorded_ = test::RunProgram({TESSORCTL, "--trace", file, "info", "--port", slave_path_},
                                 data_home_ + "/recorded");
    sim_->Stop();
  }

  test::ProgramResult recorded_;
};

TEST_F(TraceChain, RecordedSessionDecodesAndReplaysToTheSameResult) {
  const std::string file = data_home_ + "/info.trace";
  Record(file);
  ASSERT_EQ(recorded_.status, 0) << recorded_.out << recorded_.err;
  ASSERT_THAT(recorded_.out, HasSubstr("tracks\t3\n"));

  const auto decoded = test::RunProgram({TESSORCTL, "trace-decode", file}, data_home_ + "/decode");
  ASSERT_EQ(decoded.status, 0) << decoded.err;
  EXPECT_THAT(decoded.out, HasSubstr("  !  open " + slave_path_ + "\n"));
  EXPECT_THAT(decoded.out, HasSubstr("  H  $PSRF107  identification request  checksum good\n"));
  EXPECT_THAT(decoded.out, HasSubstr("  H  $PKVN108  108 configuration command  checksum good\n"));
  EXPECT_THAT(decoded.out, HasSubstr("  H  $PKVN101,2  101 track header command  checksum good\n"));
  EXPECT_THAT(decoded.out, HasSubstr("101 track header answer  checksum good\n"));
  EXPECT_THAT(decoded.out, HasSubstr("  !  close\n"));
  EXPECT_THAT(decoded.out, HasSubstr("\nsummary\nhost to device\t"));
  EXPECT_THAT(decoded.out, HasSubstr("drops\t0 sentences"));

  std::string divergence;
  bool complete = false;
  const auto replayed = ReplayInfo(file, "replayed", &divergence, &complete);
  EXPECT_EQ(divergence, "");
  EXPECT_TRUE(complete) << "the host sent every sentence of the trace";
  EXPECT_EQ(replayed.status, recorded_.status) << replayed.err;
  EXPECT_EQ(replayed.out, recorded_.out);
  EXPECT_EQ(replayed.err, recorded_.err);
}

TEST_F(TraceChain, EditedAnswerMakesTheReplayNameTheDivergingSentence) {
  const std::string file = data_home_ + "/info.trace";
  Record(file);
  ASSERT_EQ(recorded_.status, 0) << recorded_.out << recorded_.err;

  const Edited edited = ChangeTrackCount(ReadText(file), "2");
  ASSERT_NE(edited.next_host_line, 0u) << "no configuration answer with a host sentence after it";
  ASSERT_THAT(edited.next_host, StartsWith("$PKVN101,2")) << "the header of the last track";
  const std::string edited_file = data_home_ + "/edited.trace";
  std::ofstream(edited_file, std::ios::binary) << edited.text;

  std::string divergence;
  bool complete = true;
  const auto replayed = ReplayInfo(edited_file, "edited", &divergence, &complete);
  EXPECT_THAT(divergence,
              HasSubstr("differs from trace line " + std::to_string(edited.next_host_line) +
                        ": expected \"" + edited.next_host));
  EXPECT_THAT(divergence, HasSubstr("got \"$PKVN101,1*")) << "the host asks for two tracks";
  EXPECT_FALSE(complete);
  EXPECT_THAT(replayed.out, Not(HasSubstr("tracks\t3\n")));
  EXPECT_NE(replayed.out, recorded_.out);
}

}  // namespace
}  // namespace tessor
