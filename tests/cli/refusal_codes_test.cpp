// Each setting the device refuses ends tessorctl with that setting's own
// result code, 21 to 26.
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "engine/framing.h"
#include "pty_pair.h"
#include "tessorctl_fixture.h"

namespace tessor {
namespace {

// The line between the host and the simulated device, passing every byte on
// except one answer of the device, which it turns into another: the
// simulator accepts every setting that the host's checks let through.
class RewritingLine {
 public:
  RewritingLine(const std::string& device_path, std::string from, std::string to)
      : from_(FramedSentence(from)), to_(FramedSentence(to)) {
    device_ = ::open(device_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios raw{};
    if (device_ >= 0 && ::tcgetattr(device_, &raw) == 0) {
      ::cfmakeraw(&raw);
      ::tcsetattr(device_, TCSANOW, &raw);
    }
    thread_ = std::thread([this] { Run(); });
  }
  ~RewritingLine() {
    stop_ = true;
    thread_.join();
    if (device_ >= 0) ::close(device_);
  }
  RewritingLine(const RewritingLine&) = delete;
  RewritingLine& operator=(const RewritingLine&) = delete;

  bool ok() const { return device_ >= 0 && host_.ok(); }
  const std::string& host_path() const { return host_.slave_path(); }

 private:
  void Run() {
    std::string from_device;
    while (!stop_.load()) {
      pollfd p[2] = {{host_.master(), POLLIN, 0}, {device_, POLLIN, 0}};
      if (::poll(p, 2, 20) <= 0) continue;
      char buffer[4096];
      if (p[0].revents & POLLIN) {
        const ssize_t n = ::read(host_.master(), buffer, sizeof buffer);
        if (n > 0) WriteAll(device_, std::string(buffer, static_cast<size_t>(n)), stop_);
      }
      if (p[1].revents & POLLIN) {
        const ssize_t n = ::read(device_, buffer, sizeof buffer);
        if (n > 0) from_device.append(buffer, static_cast<size_t>(n));
        // Whole sentences only, so that the answer is never cut in two.
        const size_t end = from_device.rfind('\n');
        if (end == std::string::npos) continue;
        std::string whole = from_device.substr(0, end + 1);
        from_device.erase(0, end + 1);
        for (size_t at = whole.find(from_); at != std::string::npos; at = whole.find(from_, at))
          whole.replace(at, from_.size(), to_);
        WriteAll(host_.master(), whole, stop_);
      }
    }
  }

  // Gives up when told to stop or when the line is gone, so the relay's
  // thread always ends.
  static void WriteAll(int fd, const std::string& bytes, const std::atomic<bool>& stop) {
    for (size_t done = 0; done < bytes.size() && !stop.load();) {
      const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
      } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        return;
      } else {
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, 20);
      }
    }
  }

  const std::string from_, to_;
  test::PtyPair host_;
  int device_ = -1;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class RefusalCodes : public test::TessorctlFixture {};

TEST_F(RefusalCodes, EachRefusedSettingExitsWithItsCode) {
  const struct {
    std::vector<std::string> args;
    const char* accepted;
    const char* refused;
    int code;
  } cases[] = {
      {{"set-switches", "--log", "on", "--nmea", "off"}, "$LOG103,1", "$LOG103,0", 21},
      {{"set-log-config", "--log-type", "time", "--interval", "5", "--data-type", "1",
        "--memory-full", "stop"},
       "$LOG104,1",
       "$LOG104,0",
       22},
      {{"set-speed-filter", "10"}, "$LOG105,1", "$LOG105,0", 23},
      {{"erase-log", "--yes"}, "$LOG109,1", "$LOG109,0", 25},
      {{"alert-ranges", "--critical", "400", "--notification", "900"},
       "$PSRFTXTSave",
       "$LOG116,0",
       26},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0]);
    StartDevice(devsim::Scenario{});
    RewritingLine line(slave_path_, c.accepted, c.refused);
    ASSERT_TRUE(line.ok());
    const test::ProgramResult r = RunOn(line.host_path(), c.args);
    EXPECT_EQ(r.status, c.code) << r.out << r.err;
    EXPECT_NE(sim_->TranscriptText().find(c.accepted), std::string::npos)
        << "the device accepted; the line made it a refusal";
    sim_->Stop();
  }
}

}  // namespace
}  // namespace tessor
