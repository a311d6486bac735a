#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "engine/device_engine.h"
#include "engine/framing.h"
#include "engine/string_table.h"
#include "pty_pair.h"
#include "recording_observer.h"

namespace tessor {
namespace {

class SerialLink : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    engine_.SetObserver(&observer_);
    engine_.SetPortResolver([this](int n) { return n == 7 ? pty_.slave_path() : std::string(); });
    engine_.port_number = 7;
  }

  // The pty hands bytes over asynchronously; wait until the driver holds them.
  bool WaitQueued(long count) {
    for (int i = 0; i < 1000; ++i) {
      if (engine_.port.QueuedBytes() >= count) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  test::PtyPair pty_;
  test::RecordingObserver observer_;
  CDeviceEngine engine_;
};

TEST_F(SerialLink, OpensReadsAnswersAndWritesCommands) {
  ASSERT_EQ(engine_.OpenPort(), kResultOk);
  EXPECT_EQ(engine_.link_status.load() & 1u, 1u);

  ASSERT_TRUE(pty_.Write(FramedSentence("$LOG103,1") + FramedSentence("$LOG100,1,2,3,55")));
  for (int i = 0; i < 20 && engine_.flash_usage.used_percent != 55; ++i) engine_.LinkPoll(100);
  EXPECT_TRUE(engine_.flags_a.load() & flag_a::kLog103Ok);
  EXPECT_EQ(engine_.flash_usage.used_percent, 55);

  ASSERT_EQ(engine_.SendCommand(100), kResultOk);
  const std::string expected = FramedSentence("$PKVN100");
  EXPECT_EQ(pty_.Read(expected.size()), expected);

  engine_.ClosePort();
  EXPECT_EQ(engine_.link_status.load() & 1u, 0u);
  EXPECT_EQ(engine_.ReadQueued(), kResultPortNotOpen);
  // The same pty opens again after a close.
  EXPECT_EQ(engine_.OpenPort(), kResultOk);
}

TEST_F(SerialLink, SecondOpenerIsRefusedWithAHint) {
  ASSERT_EQ(engine_.OpenPort(), kResultOk);
  CDeviceEngine other;
  other.SetPortResolver([this](int) { return pty_.slave_path(); });
  EXPECT_EQ(other.OpenPort(), kResultPortOpen);
  EXPECT_EQ(other.last_system_error(), EBUSY);
  EXPECT_NE(PortErrorText(EBUSY).find("Another program"), std::string::npos);
  EXPECT_NE(PortErrorText(EACCES).find("dialout"), std::string::npos);
  EXPECT_EQ(other.link_status.load(), 0u);
}

TEST_F(SerialLink, OpenFailures) {
  engine_.port_number = 8;  // the resolver knows no such port
  EXPECT_EQ(engine_.OpenPort(), kResultPortOpen);
  EXPECT_EQ(engine_.last_system_error(), ENOENT);

  engine_.SetPortResolver([](int) { return std::string("/dev/null"); });
  EXPECT_EQ(engine_.OpenPort(), kResultPortSettings) << "not a tty: its settings are refused";
  EXPECT_FALSE(engine_.port.is_open());
  EXPECT_EQ(engine_.link_status.load(), 0u);
}

// The steps the engine opens with, as the port check takes them one by one.
TEST_F(SerialLink, OpeningStepsReportWhatTheyFind) {
  const int fd = OpenTty(pty_.slave_path());
  ASSERT_GE(fd, 0);
  termios other{};
  ASSERT_EQ(::tcgetattr(fd, &other), 0);
  ::cfsetispeed(&other, B9600);
  ::cfsetospeed(&other, B9600);
  other.c_iflag |= IXON;
  ASSERT_EQ(::tcsetattr(fd, TCSANOW, &other), 0);
  std::string difference;
  ASSERT_TRUE(ReadBackLineSettings(fd, &difference));
  EXPECT_NE(difference.find("speed not 57600"), std::string::npos) << difference;
  EXPECT_NE(difference.find("software flow control on"), std::string::npos) << difference;
  ASSERT_TRUE(ApplyLineSettings(fd));
  ASSERT_TRUE(ReadBackLineSettings(fd, &difference));
  EXPECT_EQ(difference, "");

  ASSERT_TRUE(TakeExclusive(fd));
  const int second = ::open(pty_.slave_path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (second >= 0) {  // root passes TIOCEXCL; the lock still holds
    EXPECT_FALSE(TakeExclusive(second));
    EXPECT_EQ(errno, EBUSY);
  } else {
    EXPECT_EQ(errno, EBUSY);
  }
  ReleaseExclusive(fd);
  ::close(fd);
  // Given back, the port is anybody's again.
  EXPECT_EQ(engine_.OpenPort(), kResultOk);
  if (second >= 0) ::close(second);

  const int not_a_tty = OpenTty("/dev/null");
  ASSERT_GE(not_a_tty, 0);
  EXPECT_FALSE(ApplyLineSettings(not_a_tty));
  EXPECT_EQ(errno, ENOTTY);
  ::close(not_a_tty);
}

TEST_F(SerialLink, QueuedBytesWrapAroundTheRing) {
  ASSERT_EQ(engine_.OpenPort(), kResultOk);
  engine_.ring.write_index = engine_.ring.read_index = kRingSize - 10;
  std::string bytes;
  for (int i = 0; i < 30; ++i) bytes += static_cast<char>('a' + i % 26);
  ASSERT_TRUE(pty_.Write(bytes));
  ASSERT_TRUE(WaitQueued(30));
  EXPECT_EQ(engine_.ReadQueued(), kResultOk);
  EXPECT_EQ(engine_.ring.write_index, 20);
  EXPECT_EQ(engine_.ring.pending, 30);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(engine_.ring.data + kRingSize - 10), 10),
            bytes.substr(0, 10));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(engine_.ring.data), 20), bytes.substr(10));
}

TEST_F(SerialLink, FullRingLeavesTheRestInTheDriver) {
  ASSERT_EQ(engine_.OpenPort(), kResultOk);
  engine_.ring.write_index = 8000;
  engine_.ring.pending = 8000;
  ASSERT_TRUE(pty_.Write(std::string(500, 'x')));
  ASSERT_TRUE(WaitQueued(500));
  EXPECT_EQ(engine_.ReadQueued(), kResultRingOverflow);
  EXPECT_EQ(engine_.ring.pending, kRingSize);
  EXPECT_EQ(engine_.ring.write_index, 0);
  EXPECT_EQ(engine_.port.QueuedBytes(), 308) << "unread bytes were overwritten or lost";
}

TEST_F(SerialLink, QueuedCommandsGoOutInTheFixedOrder) {
  ASSERT_EQ(engine_.OpenPort(), kResultOk);
  engine_.args.erase_value = -1;
  for (uint32_t bit :
       {queue_bit::k109, queue_bit::k100, queue_bit::k116, queue_bit::k105, queue_bit::k004}) {
    engine_.QueueCommand(bit);
  }
  engine_.SendQueuedCommands();
  EXPECT_EQ(engine_.queued_commands.load(), 0u);
  EXPECT_EQ(engine_.last_command.load(), 109);
  const std::string expected = FramedSentence("$PKVN004") + FramedSentence("$PKVN100") +
                               FramedSentence("$PKVN116,4096,0,0,40") +
                               FramedSentence("$PKVN105,0") + FramedSentence("$PKVN109,-1");
  EXPECT_EQ(pty_.Read(expected.size()), expected);
}

TEST_F(SerialLink, LostPortEndsTheLink) {
  ASSERT_EQ(engine_.OpenPort(), kResultOk);
  engine_.link_flag = true;
  engine_.operation_running = true;
  engine_.worker_running = true;
  pty_.CloseMaster();
  engine_.LinkPoll(500);
  EXPECT_FALSE(engine_.link_flag);
  EXPECT_FALSE(engine_.operation_running);
  EXPECT_FALSE(engine_.worker_running);
  EXPECT_FALSE(engine_.port.is_open());
  EXPECT_EQ(engine_.link_status.load(), 0u);
  EXPECT_EQ(observer_.lines(), std::vector<std::string>{LoadString(kStrPortAccessError)});
}

}  // namespace
}  // namespace tessor
