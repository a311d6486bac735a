// The tessor-devsim program itself: first line, link, serving, signals, dumps.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/framing.h"
#include "engine/trace_format.h"
#include "run_program.h"
#include "sim_client.h"

extern char** environ;

namespace tessor::devsim::test {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using ::testing::HasSubstr;

using tessor::test::ReadAll;

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("devsim-program-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    fs::remove_all(dir_);
  }

  // Starts the program and returns its first line of output.
  std::string Start(std::vector<std::string> args) {
    int out[2];
    if (pipe(out) != 0) return "";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string errors = (dir_ / "stderr.txt").string();
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    args.insert(args.begin(), TESSOR_DEVSIM_PROGRAM);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn(&pid_, TESSOR_DEVSIM_PROGRAM, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string line;
    char c;
    pollfd p{out[0], POLLIN, 0};
    while (poll(&p, 1, 5000) > 0 && read(out[0], &c, 1) == 1 && c != '\n') line.push_back(c);
    close(out[0]);
    return line;
  }

  // The exit status, or -1 when it has not ended within the time-out.
  int WaitExit(milliseconds timeout) {
    for (auto waited = milliseconds(0); waited < timeout; waited += milliseconds(20)) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
      }
      usleep(20000);
    }
    return -1;
  }

  fs::path dir_;
  pid_t pid_ = -1;
};

TEST_F(ProgramTest, ServesAScenarioAndWritesDumpsOnSigterm) {
  std::ofstream(dir_ / "image.bin", std::ios::binary) << "%CDB" << std::string(36, '\x01');
  std::ofstream(dir_ / "track.bin", std::ios::binary) << std::string(24, '\x07');
  std::ofstream(dir_ / "s.json") << R"({"name": "Bench", "database": "image.bin",
      "tracks": [{"date": 70314, "format": 0, "records": "track.bin"}]})";
  const std::string path =
      Start({"--scenario", (dir_ / "s.json").string(), "--no-pace", "--link",
             (dir_ / "port").string(), "--dump-db", (dir_ / "db.bin").string(), "--dump-log",
             (dir_ / "log.bin").string(), "--transcript", (dir_ / "transcript.txt").string()});
  ASSERT_THAT(path, ::testing::StartsWith("/dev/pts/"));
  EXPECT_EQ(fs::read_symlink(dir_ / "port"), path);

  SimClient client(path);
  ASSERT_TRUE(client.is_open());
  EXPECT_EQ(client.Ask("$PKVN111")->text, "$LOG111,5,Bench");
  EXPECT_EQ(client.Ask("$PKVN101,0")->text, "$LOG101,70314,0,2,0");
  EXPECT_EQ(client.Ask("$PKVN999,40,AABBCC00DD")->text, "$LOG999,40,1,DD");

  kill(pid_, SIGTERM);
  EXPECT_EQ(WaitExit(milliseconds(30000)), 0);
  EXPECT_EQ(ReadAll(dir_ / "db.bin"),
            "%CDB" + std::string(36, '\x01') + std::string("\xAA\xBB\xCC\x00", 4));
  EXPECT_EQ(ReadAll(dir_ / "log.bin"), std::string(24, '\x07'));
  const std::string transcript = ReadAll(dir_ / "transcript.txt");
  EXPECT_THAT(transcript, HasSubstr(" H $PKVN101,0*2F\\r\\n\n"));
  EXPECT_THAT(transcript, HasSubstr(" D $LOG101,70314,0,2,0*"));
  // The trace format, so the file decodes and replays like a recorded session.
  EXPECT_EQ(transcript.rfind("# tessor trace 1\n", 0), 0u);
  EXPECT_THAT(transcript, ::testing::EndsWith("\n# bad checksum commands: 0\n"));
  std::vector<trace::Line> lines;
  std::string error;
  EXPECT_TRUE(trace::ReadTrace((dir_ / "transcript.txt").string(), &lines, &error)) << error;
  EXPECT_FALSE(fs::is_symlink(fs::symlink_status(dir_ / "port")));
}

TEST_F(ProgramTest, OnceEndsWhenTheHostClosesThePort) {
  const std::string path = Start({"--once", "--no-pace", "--link", (dir_ / "port").string()});
  ASSERT_FALSE(path.empty());
  {
    SimClient client(path);
    ASSERT_TRUE(client.is_open());
    EXPECT_EQ(client.Ask("$PKVN004")->text, "$LOG004,1");
    EXPECT_EQ(WaitExit(milliseconds(200)), -1);  // still serving while the port is open
  }
  EXPECT_EQ(WaitExit(milliseconds(30000)), 0);
}

TEST_F(ProgramTest, HelpNamesEveryOptionAndExitsZero) {
  EXPECT_EQ(Start({"--help"}).rfind("usage: tessor-devsim", 0), 0u);
  EXPECT_EQ(WaitExit(milliseconds(30000)), 0);
}

TEST_F(ProgramTest, RefusesABadScenario) {
  std::ofstream(dir_ / "s.json") << "[1, 2]";
  EXPECT_EQ(Start({"--scenario", (dir_ / "s.json").string()}), "");
  EXPECT_EQ(WaitExit(milliseconds(30000)), 1);
}

// A hand-made trace: the name query answered, then a track header query.
std::string ReplayTrace() {
  const auto line = [](long long ms, trace::Direction d, std::string_view text) {
    return trace::FormatLine({ms, d, FramedSentence(text)});
  };
  return std::string(trace::kHeader) + "\n       0 ! open /dev/ttyUSB0\n" +
         line(10, trace::Direction::kHost, "$PKVN111") +
         line(25, trace::Direction::kDevice, "$LOG111,5,Bench") +
         line(40, trace::Direction::kHost, "$PKVN101,0") +
         line(52, trace::Direction::kDevice, "$LOG101,70314,0,2,0");
}

TEST_F(ProgramTest, ReplayAnswersTheHostFromTheTraceAndEndsWithOnce) {
  std::ofstream(dir_ / "t.trace") << ReplayTrace();
  const std::string path = Start(
      {"--replay", (dir_ / "t.trace").string(), "--once", "--link", (dir_ / "port").string()});
  ASSERT_THAT(path, ::testing::StartsWith("/dev/pts/"));
  {
    SimClient client(path);
    ASSERT_TRUE(client.is_open());
    EXPECT_EQ(client.Ask("$PKVN111")->text, "$LOG111,5,Bench");
    EXPECT_EQ(client.Ask("$PKVN101,0")->text, "$LOG101,70314,0,2,0");
  }
  EXPECT_EQ(WaitExit(milliseconds(30000)), 0) << ReadAll(dir_ / "stderr.txt");
}

TEST_F(ProgramTest, ReplayNamesTheSentenceWhereTheHostLeavesTheTrace) {
  std::ofstream(dir_ / "t.trace") << ReplayTrace();
  const std::string path = Start({"--replay", (dir_ / "t.trace").string(), "--once", "--no-pace",
                                  "--link", (dir_ / "port").string()});
  ASSERT_FALSE(path.empty());
  {
    SimClient client(path);
    ASSERT_TRUE(client.is_open());
    EXPECT_EQ(client.Ask("$PKVN111")->text, "$LOG111,5,Bench");
    client.Send("$PKVN101,1");
    // Nothing is answered after the divergence; the message says why.
    for (int i = 0; i < 1500 && ReadAll(dir_ / "stderr.txt").empty(); ++i) usleep(20000);
    EXPECT_FALSE(client.Next(milliseconds(300)).has_value());
  }
  EXPECT_EQ(WaitExit(milliseconds(30000)), 1);
  const std::string errors = ReadAll(dir_ / "stderr.txt");
  EXPECT_THAT(errors, HasSubstr("trace line 5"));
  EXPECT_THAT(errors, HasSubstr("\"" + trace::Escape(FramedSentence("$PKVN101,0")) + "\""));
  EXPECT_THAT(errors, HasSubstr("\"" + trace::Escape(FramedSentence("$PKVN101,1")) + "\""));
}

TEST_F(ProgramTest, ReplayRefusesABrokenTraceAndOptionsItCannotHonour) {
  std::ofstream(dir_ / "t.trace") << "# tessor trace 1\n      10 H ok\n  garbage\n";
  EXPECT_EQ(Start({"--replay", (dir_ / "t.trace").string()}), "");
  EXPECT_EQ(WaitExit(milliseconds(30000)), 1);
  EXPECT_THAT(ReadAll(dir_ / "stderr.txt"), HasSubstr("line 3"));

  std::ofstream(dir_ / "t.trace", std::ios::trunc) << ReplayTrace();
  EXPECT_EQ(Start({"--replay", (dir_ / "t.trace").string(), "--dump-db", "x.bin"}), "");
  EXPECT_EQ(WaitExit(milliseconds(30000)), 2);
}

}  // namespace
}  // namespace tessor::devsim::test
