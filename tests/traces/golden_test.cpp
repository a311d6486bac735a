// Every trace in tests/traces/golden/ replayed against tessorctl: the same
// host sentences, status lines, exit status and files as when it was recorded.

#include <gmock/gmock.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "engine/framing.h"
#include "golden_names.h"
#include "run_program.h"
#include "tools/devsim/pty.h"
#include "tools/devsim/replay.h"

namespace tessor::devsim::test {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using ::testing::HasSubstr;

using tessor::test::ReadAll;

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

struct Expectation {
  std::string program = TESSORCTL;
  std::vector<std::string> args;
  int status = -1;
};

// NAME.expect: "args<TAB>tessorctl arguments, tab-separated" and "status<TAB>N";
// "program<TAB>golden-driver" runs a desktop-only procedure instead.
bool ReadExpectation(const fs::path& path, Expectation* e) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
      fields.push_back(line.substr(start, tab - start));
      start = tab + 1;
    }
    fields.push_back(line.substr(start));
    if (fields[0] == "args") e->args.assign(fields.begin() + 1, fields.end());
    if (fields[0] == "status" && fields.size() == 2) e->status = std::atoi(fields[1].c_str());
    if (fields[0] == "program" && fields.size() == 2) {
      if (fields[1] != "golden-driver") return false;
      e->program = TESSOR_GOLDEN_DRIVER;
    }
  }
  return !e->args.empty() && e->status >= 0;
}

// Files the run wrote against NAME.files/; one line per difference.
std::string CompareFiles(const fs::path& expected, const fs::path& out) {
  std::string problems;
  std::error_code ec;
  for (const auto& entry : fs::recursive_directory_iterator(expected, ec)) {
    if (!entry.is_regular_file()) continue;
    const fs::path written = out / fs::relative(entry.path(), expected);
    if (!fs::exists(written)) {
      problems += "not written: " + written.filename().string() + "\n";
    } else if (ReadAll(written) != ReadAll(entry.path())) {
      problems += "differs: " + written.filename().string() + "\n";
    }
  }
  for (const auto& entry : fs::recursive_directory_iterator(out, ec)) {
    if (entry.is_regular_file() && !fs::exists(expected / fs::relative(entry.path(), out))) {
      problems += "not expected: " + entry.path().filename().string() + "\n";
    }
  }
  return problems;
}

// Replays DIR/NAME.trace to tessorctl as NAME.expect says; "" when everything
// came out as recorded, else what differed, the diverging sentence first.
std::string ReplayGolden(const fs::path& dir, const std::string& name, const fs::path& scratch) {
  Expectation expected;
  if (!ReadExpectation(dir / (name + ".expect"), &expected)) return "no usable " + name + ".expect";
  ReplayScript script;
  std::string error;
  if (!LoadReplayScript((dir / (name + ".trace")).string(), &script, &error)) return error;
  const auto ends = OpenSimulatorPty();
  if (!ends) return "no pty";
  Replayer replayer(ends->master, std::move(script), ReplayOptions{true, false, {}});
  replayer.Start();

  const fs::path out = scratch / "out";
  fs::create_directories(out);
  std::vector<std::string> args = {expected.program};
  for (const std::string& a : expected.args) {
    args.push_back(Replace(Replace(a, "@OUT@", out.string()), "@GOLDEN@", dir.string()));
  }
  args.insert(args.end(), {"--port", ends->slave_path});
  ::setenv("XDG_CONFIG_HOME", (scratch / "config").c_str(), 1);
  ::setenv("TESSOR_TIMING_SCALE", "0.5", 1);  // as record-golden runs it
  const auto run = tessor::test::RunProgram(args, (scratch / "run").string());
  // The replay may still be taking in the host's last sentence.
  for (int i = 0; i < 500 && !replayer.complete() && replayer.divergence().empty(); ++i) {
    std::this_thread::sleep_for(milliseconds(20));
  }
  replayer.Stop();

  std::string problems;
  if (!replayer.divergence().empty()) problems += "replay: " + replayer.divergence() + "\n";
  if (!replayer.complete()) problems += "the host did not send every sentence of the trace\n";
  if (run.status != expected.status) {
    problems += "exit status " + std::to_string(run.status) + ", recorded " +
                std::to_string(expected.status) + "\n";
  }
  const std::string printed = Replace(run.out, out.string(), "@OUT@");
  const std::string recorded = ReadAll(dir / (name + ".stdout"));
  if (printed != recorded) problems += "standard output:\n" + printed + "recorded:\n" + recorded;
  return problems + CompareFiles(dir / (name + ".files"), out);
}

// The traces in the folder when the suite was built.
std::vector<std::string> GoldenNames() {
  std::vector<std::string> names = {TESSOR_GOLDEN_NAMES};
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> NamesInFolder() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(TESSOR_GOLDEN_DIR, ec)) {
    if (entry.path().extension() == ".trace") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

fs::path Scratch(const std::string& name) {
  const fs::path dir =
      fs::temp_directory_path() / ("golden-" + std::to_string(getpid()) + "-" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

class GoldenTraceTest : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenTraceTest, ReplaysAsRecorded) {
  const fs::path scratch = Scratch(GetParam());
  EXPECT_EQ(ReplayGolden(TESSOR_GOLDEN_DIR, GetParam(), scratch), "");
  fs::remove_all(scratch);
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenTraceTest, ::testing::ValuesIn(GoldenNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

TEST(GoldenTraceFolderTest, EveryTraceInTheFolderIsACase) {
  EXPECT_GE(GoldenNames().size(), 15u);
  EXPECT_EQ(GoldenNames(), NamesInFolder()) << "build again to pick up added traces";
}

// One answer changed: the configuration now counts two tracks instead of
// three, so the host asks for another track header than the recorded one.
TEST(GoldenTraceEditTest, AnEditedAnswerFailsNamingTheDivergingSentence) {
  const fs::path scratch = Scratch("edited");
  const fs::path golden = TESSOR_GOLDEN_DIR;
  const std::string original = FramedSentence("$LOG108,2,0,1,0,5,0,0,3,0,4096,300,800,3,40");
  std::string trace = ReadAll(golden / "connect.trace");
  ASSERT_NE(trace.find(trace::Escape(original)), std::string::npos);
  trace = Replace(trace, trace::Escape(original),
                  trace::Escape(FramedSentence("$LOG108,2,0,1,0,5,0,0,2,0,4096,300,800,3,40")));
  std::ofstream(scratch / "connect.trace", std::ios::binary) << trace;
  fs::copy_file(golden / "connect.expect", scratch / "connect.expect");
  fs::copy_file(golden / "connect.stdout", scratch / "connect.stdout");

  const std::string problems = ReplayGolden(scratch, "connect", scratch / "run");
  EXPECT_THAT(problems, HasSubstr("replay: the host's sentence differs from trace line"));
  EXPECT_THAT(problems,
              HasSubstr("expected \"" + trace::Escape(FramedSentence("$PKVN101,2")) + "\", got \"" +
                        trace::Escape(FramedSentence("$PKVN101,1")) + "\""));
  fs::remove_all(scratch);
}

}  // namespace
}  // namespace tessor::devsim::test
