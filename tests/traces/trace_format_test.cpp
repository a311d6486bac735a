// The trace text format: escaping, single lines, whole files and the writer.

#include "engine/trace_format.h"

#include <gmock/gmock.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace tessor::trace {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct EscapeCase {
  std::string bytes;
  std::string text;
};

TEST(TraceEscapeTest, EscapesAndRestoresEveryKindOfByte) {
  const EscapeCase cases[] = {
      {"$PKVN101,0*2F\r\n", "$PKVN101,0*2F\\r\\n"},
      {std::string("\0\x01\x7F\xFF", 4), "\\x00\\x01\\x7F\\xFF"},
      {"a\\b", "a\\\\b"},
      {"\\x41", "\\\\x41"},  // a backslash that looks like an escape stays literal
      {"", ""},
  };
  for (const EscapeCase& c : cases) {
    EXPECT_EQ(Escape(c.bytes), c.text);
    std::string back;
    ASSERT_TRUE(Unescape(c.text, &back)) << c.text;
    EXPECT_EQ(back, c.bytes) << c.text;
  }
  std::string lower;
  ASSERT_TRUE(Unescape("\\xab", &lower));
  EXPECT_EQ(lower, "\xAB");
}

TEST(TraceEscapeTest, RefusesBrokenEscapes) {
  for (const char* text : {"end\\", "\\t", "\\x4", "\\xG1", "\\x"}) {
    std::string bytes = "untouched";
    EXPECT_FALSE(Unescape(text, &bytes)) << text;
    EXPECT_EQ(bytes, "untouched") << text;
  }
}

TEST(TraceLineTest, FormatsTheSimulatorsLayout) {
  EXPECT_EQ(FormatLine({12, Direction::kHost, "$PKVN101,0*2F\r\n"}),
            "      12 H $PKVN101,0*2F\\r\\n\n");
  EXPECT_EQ(FormatLine({123456789, Direction::kDevice, "ok"}), "123456789 D ok\n");
  EXPECT_EQ(FormatLine({0, Direction::kNote, "open /dev/ttyUSB0"}),
            "       0 ! open /dev/ttyUSB0\n");
}

TEST(TraceLineTest, ParsesWhatItFormats) {
  const Line lines[] = {{0, Direction::kNote, "close"},
                        {7, Direction::kHost, std::string("\x02\x00\r\n", 4)},
                        {99999999, Direction::kDevice, "$LOG101,70314,0,2,0*5A\r\n"},
                        {5, Direction::kNote, ""}};
  for (const Line& in : lines) {
    Line out;
    ASSERT_TRUE(ParseLine(FormatLine(in), &out)) << FormatLine(in);
    EXPECT_EQ(out.ms, in.ms);
    EXPECT_EQ(out.direction, in.direction);
    EXPECT_EQ(out.bytes, in.bytes);
  }
  Line trimmed;
  ASSERT_TRUE(ParseLine("       5 !", &trimmed)) << "an empty note whose blank an editor cut";
  EXPECT_EQ(trimmed.bytes, "");
  ASSERT_TRUE(ParseLine("3 D x\r\n", &trimmed)) << "a line with a Windows ending";
  EXPECT_EQ(trimmed.bytes, "x");
}

TEST(TraceLineTest, RefusesMalformedLines) {
  for (const char* text : {"", "   ", "abc", "12", "12 ", "12 X data", "12 Hdata", "-3 H x",
                           "12  H x", "12 H bad\\q", "99999999999999999999 H x"}) {
    Line line;
    EXPECT_FALSE(ParseLine(text, &line)) << '"' << text << '"';
  }
}

TEST(TraceFileTest, SkipsCommentsAndNeedsTheHeader) {
  std::vector<Line> lines;
  std::vector<size_t> numbers;
  std::string error;
  ASSERT_TRUE(
      ParseTrace("# tessor trace 1\n       0 ! open x\n# a comment\n\n"
                 "       4 H a\\r\\n\n# bad checksum commands: 0\n",
                 &lines, &error, &numbers))
      << error;
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(numbers, (std::vector<size_t>{2, 5}));
  EXPECT_EQ(lines[1].bytes, "a\r\n");

  EXPECT_FALSE(ParseTrace("       0 ! open x\n", &lines, &error));
  EXPECT_THAT(error, HasSubstr("# tessor trace 1"));
  EXPECT_FALSE(ParseTrace("", &lines, &error));
  EXPECT_FALSE(ParseTrace("# tessor trace 1\n       0 H ok\n  oops\n", &lines, &error));
  EXPECT_EQ(error, "line 3: malformed trace line");
}

TEST(TraceFileTest, NamesTheFileItCannotRead) {
  std::vector<Line> lines;
  std::string error;
  EXPECT_FALSE(ReadTrace("/nonexistent/dir/t.trace", &lines, &error));
  EXPECT_THAT(error, HasSubstr("/nonexistent/dir/t.trace"));
}

class TraceWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("trace-writer-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    path_ = (dir_ / "session.trace").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
  std::string path_;
};

TEST_F(TraceWriterTest, WritesBesideTheNameUntilClosed) {
  TraceWriter writer;
  ASSERT_TRUE(writer.Open(path_));
  EXPECT_TRUE(writer.is_open());
  EXPECT_EQ(writer.path(), path_);
  writer.Note("open /dev/ttyUSB0");
  writer.Record(Direction::kHost, "$PKVN101,0*2F\r\n");
  // Flushed line by line: what a crash would leave is already a whole trace.
  EXPECT_FALSE(fs::exists(path_));
  std::vector<Line> lines;
  std::string error;
  ASSERT_TRUE(ReadTrace(path_ + ".part", &lines, &error)) << error;
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].bytes, "$PKVN101,0*2F\r\n");

  writer.Record(Direction::kDevice, "$LOG101*00\r\n");
  ASSERT_TRUE(writer.Close());
  EXPECT_FALSE(writer.is_open());
  EXPECT_FALSE(fs::exists(path_ + ".part"));
  ASSERT_TRUE(ReadTrace(path_, &lines, &error)) << error;
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2].direction, Direction::kDevice);
  EXPECT_FALSE(writer.Close()) << "nothing is open any more";
}

TEST_F(TraceWriterTest, ReportsWhatItCannotWrite) {
  TraceWriter writer;
  errno = 0;
  EXPECT_FALSE(writer.Open((dir_ / "missing" / "t.trace").string()));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(writer.is_open());
  writer.Record(Direction::kHost, "ignored");  // harmless when closed

  // A full disk: the lines are lost, so the trace is not reported complete.
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  fs::create_symlink("/dev/full", path_ + ".part");
  ASSERT_TRUE(writer.Open(path_));
  writer.Record(Direction::kHost, "lost");
  EXPECT_FALSE(writer.Close());
  EXPECT_FALSE(fs::exists(path_));
}

TEST_F(TraceWriterTest, KeepsWholeLinesFromManyThreads) {
  TraceWriter writer;
  ASSERT_TRUE(writer.Open(path_));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&writer, t] {
      for (int i = 0; i < 200; ++i) writer.Record(Direction::kHost, std::string(50, 'a' + t));
    });
  }
  for (std::thread& t : threads) t.join();
  ASSERT_TRUE(writer.Close());
  std::vector<Line> lines;
  std::string error;
  ASSERT_TRUE(ReadTrace(path_, &lines, &error)) << error;
  ASSERT_EQ(lines.size(), 800u);
  for (const Line& line : lines) EXPECT_EQ(line.bytes, std::string(50, line.bytes[0]));
  EXPECT_EQ(ReadAll(path_).rfind("# tessor trace 1\n", 0), 0u);
}

}  // namespace
}  // namespace tessor::trace
