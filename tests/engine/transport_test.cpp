// The engine reaches the device only through its transport: a transport with
// a clock of its own runs every protocol pause, and a recorder around the
// port sees every byte, the open and close and the errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <string>
#include <vector>

#include "device_fixture.h"
#include "engine/recording_transport.h"
#include "engine/timing.h"
#include "engine/trace_format.h"
#include "pty_pair.h"

namespace tessor {
namespace {

// The termios port on its own clock, noting every pause asked of it.
class ClockedPort : public SerialPort {
 public:
  void Pause(int protocol_ms) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      pauses_.push_back(protocol_ms);
    }
    SerialPort::Pause(protocol_ms);
  }
  bool Paused(int protocol_ms) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::find(pauses_.begin(), pauses_.end(), protocol_ms) != pauses_.end();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<int> pauses_;
};

class OwnClock : public test::DeviceFixture {
 protected:
  void TearDown() override {
    DeviceFixture::TearDown();
    engine_.SetTransport(nullptr);
  }
  ClockedPort clocked_;
};

TEST_F(OwnClock, RunsTheHandshakeWithoutTheProcessScale) {
  StartDevice(devsim::Scenario{});
  // Any pause left on the process's scale would take the handshake minutes.
  TimingScale::Set(60.0);
  clocked_.SetTimeScale(kScale);
  engine_.SetTransport(&clocked_);
  ASSERT_EQ(engine_.Connect(1), kResultNoDatabase) << Lines();
  ASSERT_TRUE(WaitFor([&] { return engine_.handshake_done(); }, 60000)) << Lines();
  EXPECT_TRUE(engine_.track_table_read());
  EXPECT_TRUE(clocked_.Paused(timing::kConnectPauseMs));
  EXPECT_TRUE(clocked_.Paused(timing::kHandshakeStartPauseMs));
  EXPECT_TRUE(clocked_.Paused(timing::kHandshakeEndPauseMs));
  ASSERT_TRUE(WaitFor([&] { return engine_.JoinEnded(CDeviceEngine::kSlotHandshake); }, 60000));
  EXPECT_EQ(engine_.Disconnect(), kResultOk);
  EXPECT_TRUE(clocked_.Paused(timing::kDisconnectPauseMs));
}

class Recorder : public test::DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    path_ = data_home_ + "/line.trace";
    ASSERT_TRUE(writer_.Open(path_));
    engine_.SetTransport(&recorder_);
  }
  void TearDown() override {
    engine_.ClosePort();
    engine_.SetTransport(nullptr);
    DeviceFixture::TearDown();
  }

  std::vector<trace::Line> SoFar() const {
    std::vector<trace::Line> lines;
    std::string error;
    trace::ReadTrace(path_ + ".part", &lines, &error);
    return lines;
  }

  std::vector<trace::Line> Finish() {
    std::vector<trace::Line> lines;
    std::string error;
    EXPECT_TRUE(writer_.Close());
    EXPECT_TRUE(trace::ReadTrace(path_, &lines, &error)) << error;
    return lines;
  }

  static std::vector<std::string> Of(const std::vector<trace::Line>& lines, trace::Direction d) {
    std::vector<std::string> out;
    for (const trace::Line& l : lines) {
      if (l.direction == d) out.push_back(l.bytes);
    }
    return out;
  }

  std::string path_;
  trace::TraceWriter writer_;
  RecordingTransport recorder_{engine_.port, writer_};
};

TEST_F(Recorder, NotesAPortThatCannotBeOpened) {
  engine_.SetPortResolver([](int) { return std::string("/dev/no-such-tessor-port"); });
  EXPECT_EQ(engine_.OpenPort(), kResultPortOpen);
  EXPECT_EQ(engine_.last_system_error(), ENOENT);
  const auto lines = Finish();
  EXPECT_EQ(Of(lines, trace::Direction::kNote),
            (std::vector<std::string>{"open /dev/no-such-tessor-port",
                                      "error ENOENT: No such file or directory"}));
}

TEST_F(Recorder, RecordsBothWaysAndTheLossOfTheLine) {
  test::PtyPair pty;
  ASSERT_TRUE(pty.ok());
  engine_.SetPortResolver([&](int) { return pty.slave_path(); });
  ASSERT_EQ(engine_.OpenPort(), kResultOk);
  const std::string ask = "$PKVN100*32\r\n", answer = "$LOG100,0,8388608,0,0*70\r\n";
  ASSERT_TRUE(engine_.WriteSentence(ask.data(), ask.size()));
  EXPECT_EQ(pty.Read(ask.size()), ask);
  ASSERT_TRUE(pty.Write(answer));
  // Each line is on disk as soon as it is recorded.
  EXPECT_TRUE(WaitFor([&] {
    engine_.LinkPoll(10);
    std::string device;
    for (const std::string& b : Of(SoFar(), trace::Direction::kDevice)) device += b;
    return device == answer;
  }));
  engine_.link_flag = true;
  pty.CloseMaster();
  engine_.LinkPoll(500);
  EXPECT_FALSE(engine_.port.is_open());

  const auto lines = Finish();
  EXPECT_EQ(Of(lines, trace::Direction::kHost), std::vector<std::string>{ask});
  const auto notes = Of(lines, trace::Direction::kNote);
  ASSERT_GE(notes.size(), 3u);
  EXPECT_EQ(notes.front(), "open " + pty.slave_path());
  EXPECT_NE(std::find(notes.begin(), notes.end(), "error EIO: Input/output error"), notes.end());
  EXPECT_EQ(notes.back(), "close");
}

}  // namespace
}  // namespace tessor
