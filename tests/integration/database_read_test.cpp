// Reads of the device's database memory (command 115) when answers come late,
// never, or for another piece; and the files a download leaves.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "database/file_io.h"
#include "device_fixture.h"
#include "engine/string_table.h"

namespace tessor {
namespace {

using test::DeviceFixture;

class DatabaseRead : public DeviceFixture {
 protected:
  // The device's usual delay for a late answer, 3500 ms, on the fixture's
  // scale: longer than one wait for a piece, shorter than two.
  static constexpr uint32_t kLateMs = static_cast<uint32_t>(3500 * kScale);

  // 40 points: 640 bytes of points, twenty pieces of 32 that differ.
  const std::vector<uint8_t> image_ = MakeImage(40, 0x21);

  devsim::Scenario Holding() const {
    devsim::Scenario s;
    s.database = image_;
    return s;
  }

  void ConnectExpecting(int result) {
    ASSERT_EQ(engine_.Connect(1), result) << Lines();
    ASSERT_TRUE(WaitFor([&] {
      return engine_.handshake_done() && !engine_.ThreadRunning(CDeviceEngine::kSlotHandshake);
    }));
  }

  void RunDownload() {
    ASSERT_EQ(engine_.StartDatabaseDownload(), kResultOk);
    ASSERT_TRUE(WaitFor(
        [&] { return !engine_.ThreadRunning(CDeviceEngine::kSlotDatabaseDownload); }, 60000));
  }

  // How often the device was asked for the bytes at this address.
  size_t Asks(uint32_t address, uint32_t count) const {
    const std::string ask =
        "$PKVN115," + std::to_string(address) + "," + std::to_string(count) + "*";
    const std::string t = sim_->TranscriptText();
    size_t n = 0;
    for (size_t at = t.find(ask); at != std::string::npos; at = t.find(ask, at + 1)) ++n;
    return n;
  }

  // How many read answers the device has sent.
  size_t Answers() const {
    const std::string t = sim_->TranscriptText();
    size_t n = 0;
    for (size_t at = t.find("$LOG115,"); at != std::string::npos; at = t.find("$LOG115,", at + 1))
      ++n;
    return n;
  }

  static std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::string Image() const { return std::string(image_.begin(), image_.end()); }
};

// A late answer is taken for its own piece or dropped: never for the piece
// asked next, at connect (the coverage) or in a download (the image).
TEST_F(DatabaseRead, LateAnswerNeverShiftsTheData) {
  const struct {
    const char* where;
    uint32_t request;  // requests 1 and 2 read the header at connect
  } cases[] = {{"connect, first header piece", 1},
               {"download, first header piece", 3},
               {"download, a point piece", 10}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.where);
    devsim::Scenario s = Holding();
    s.faults.late = {{115, {c.request}, kLateMs}};
    // On a paced line the reads go on while the late answer is on its way.
    StartDevice(s, true);
    ASSERT_NO_FATAL_FAILURE(ConnectExpecting(kResultOk));
    EngineDatabaseInfo expected;
    ASSERT_TRUE(UnpackHeader(image_, expected));
    EXPECT_EQ(engine_.coverage.min_longitude, expected.min_longitude);
    EXPECT_EQ(engine_.coverage.max_latitude, expected.max_latitude);
    ASSERT_NO_FATAL_FAILURE(RunDownload());
    EXPECT_TRUE(engine_.download_succeeded()) << Lines();
    const std::vector<uint8_t> image = engine_.TakeDownloadedImage();
    EXPECT_EQ(std::string(image.begin(), image.end()), Image());
    EXPECT_EQ(ReadText(DataFile("DLDB.bin")), Image());
    engine_.StopAllThreads();
    engine_.Disconnect();
    sim_->Stop();
  }
}

// Every ask of one piece answered after all four waits: the fourth miss ends
// the read with its failure lines. The late answers that follow are not the
// next download's data.
TEST_F(DatabaseRead, PieceLateFourTimesFailsTheDownload) {
  devsim::Scenario s = Holding();
  // Late by far more than the four waits together (about 12 s of protocol
  // time), so that a loaded machine's slower asks still miss every answer.
  s.faults.late = {{115, {3, 4, 5, 6}, static_cast<uint32_t>(30000 * kScale)}};
  StartDevice(s);
  ASSERT_NO_FATAL_FAILURE(ConnectExpecting(kResultOk));
  ASSERT_NO_FATAL_FAILURE(RunDownload());
  EXPECT_EQ(Asks(0, 32), 5u) << "one ask at connect, four in the download";
  EXPECT_TRUE(HasLine("Failed to set command. Please try again.")) << Lines();
  EXPECT_TRUE(HasLine("Download DB Header...Failure"));
  EXPECT_FALSE(engine_.download_succeeded());
  EXPECT_TRUE(HasNotification(WM_DEV_DOWNLOAD_END, 0, 0));
  EXPECT_FALSE(std::filesystem::exists(DataFile("DLDB.bin")));
  ASSERT_TRUE(WaitFor([&] { return Answers() == 2 + 4u; }));
  ASSERT_NO_FATAL_FAILURE(RunDownload());
  EXPECT_TRUE(engine_.download_succeeded()) << Lines();
  EXPECT_EQ(ReadText(DataFile("DLDB.bin")), Image());
}

// One piece is asked for at most four times: three silences are survived,
// four fail the read (here the header read at connect: no database then).
TEST_F(DatabaseRead, ThreeUnansweredAsksOfAPieceAreSurvived) {
  devsim::Scenario s = Holding();
  s.faults.silent = {{115, 3}};
  StartDevice(s);
  ASSERT_NO_FATAL_FAILURE(ConnectExpecting(kResultOk));
  EXPECT_EQ(Asks(0, 32), 4u);
  EXPECT_FALSE(HasLine("Failed to set command. Please try again.")) << Lines();
}

TEST_F(DatabaseRead, FourUnansweredAsksOfAPieceFailTheRead) {
  devsim::Scenario s = Holding();
  s.faults.silent = {{115, 4}};
  StartDevice(s);
  ASSERT_NO_FATAL_FAILURE(ConnectExpecting(kResultNoDatabase));
  EXPECT_EQ(Asks(0, 32), 4u);
  EXPECT_TRUE(HasLine("Failed to set command. Please try again.")) << Lines();
  EXPECT_TRUE(HasLine(LoadString(159)));
}

// The header query says why it found no database: the device answered with
// bytes that are not one, it left a piece unanswered, or the link is gone.
TEST_F(DatabaseRead, TheQuerySaysWhyThereIsNoDatabase) {
  StartDevice(devsim::Scenario{});
  ASSERT_NO_FATAL_FAILURE(ConnectExpecting(kResultNoDatabase));
  EXPECT_EQ(engine_.QueryDatabaseInfo(), kResultNoDatabase) << Lines();
  engine_.StopAllThreads();
  engine_.Disconnect();
  sim_->Stop();

  devsim::Scenario s = Holding();
  s.faults.silent = {{115, 8}};  // four asks at connect, four more here
  StartDevice(s);
  ASSERT_NO_FATAL_FAILURE(ConnectExpecting(kResultNoDatabase));
  EXPECT_EQ(engine_.QueryDatabaseInfo(), kResultNoAnswerRetries) << Lines();
  EXPECT_EQ(engine_.QueryDatabaseInfo(), kResultOk) << Lines();
  engine_.StopAllThreads();
  engine_.Disconnect();
  EXPECT_EQ(engine_.QueryDatabaseInfo(), kResultPortNotOpen);
}

// A 40-byte read goes as pieces of 32 and 8 bytes, with progress after each.
TEST_F(DatabaseRead, HeaderIsReadAsPiecesOf32And8) {
  StartDevice(Holding());
  ASSERT_NO_FATAL_FAILURE(ConnectExpecting(kResultOk));
  EXPECT_EQ(Asks(0, 32), 1u);
  EXPECT_EQ(Asks(32, 8), 1u);
  EXPECT_TRUE(HasNotification(WM_DEV_PROGRESS, 0, 40));
  EXPECT_TRUE(HasNotification(WM_DEV_PROGRESS, 32, 40));
  EXPECT_TRUE(HasNotification(WM_DEV_PROGRESS, 40, 40));
}

}  // namespace
}  // namespace tessor
