#include <atomic>

#include "device_fixture.h"
#include "engine/string_table.h"

namespace tessor {
namespace {

using test::DeviceFixture;

devsim::TrackSource Track(uint32_t date, int format, size_t records) {
  devsim::TrackSource t;
  t.date = date;
  t.format = format;
  t.records.assign(records * devsim::RecordSize(format), 0x5A);
  return t;
}

class Connect : public DeviceFixture {
 protected:
  static bool HasLineIn(const test::RecordingObserver& o, const std::string& line) {
    const auto lines = o.lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
};

TEST_F(Connect, NoTracksAndNoDatabase) {
  StartDevice(devsim::Scenario{});
  EXPECT_EQ(engine_.Connect(1), kResultNoDatabase);
  EXPECT_TRUE(HasLine(LoadString(159)));
  EXPECT_TRUE(HasLine(LoadString(kStrNoVeld)));
  EXPECT_TRUE(HasNotification(WM_DEV_PROGRESS_RESET, 0, 0));
  EXPECT_TRUE(HasNotification(WM_DEV_OPERATION_END, 1, 0));
  ASSERT_TRUE(WaitFor([&] { return engine_.handshake_done(); }));
  EXPECT_TRUE(HasLine(LoadString(248)));
  const TrackTable table = engine_.track_table();
  EXPECT_TRUE(table.headers.empty());
  EXPECT_TRUE(table.valid.empty());
}

TEST_F(Connect, ReadsHeadersNameVersionAndCoverage) {
  devsim::Scenario s;
  s.name = "Road Logger";
  s.firmware = 208;
  s.capacity = 4194304;
  s.database = MakeImage(3);
  s.tracks = {Track(70314, 2, 10), devsim::TrackSource{}, Track(71231, 0, 7)};
  s.tracks[1].refused = true;
  StartDevice(s);
  EXPECT_EQ(engine_.Connect(1), kResultOk);
  EXPECT_EQ(engine_.device_name, "Road Logger");
  EXPECT_TRUE(engine_.device_name_present);
  EXPECT_EQ(engine_.firmware_version, 208);
  EXPECT_EQ(engine_.capacity, 4194304);
  EXPECT_TRUE(HasLine(std::string(LoadString(157)) + "  208    4194304"));
  EXPECT_FLOAT_EQ(engine_.coverage.min_latitude, 0.75f);
  EXPECT_FLOAT_EQ(engine_.coverage.min_longitude, -1.39f);
  // The header is read in a piece of 32 and one of 8.
  EXPECT_TRUE(HasNotification(WM_DEV_PROGRESS, 0, 40));
  EXPECT_TRUE(HasNotification(WM_DEV_PROGRESS, 32, 40));
  EXPECT_TRUE(HasNotification(WM_DEV_PROGRESS, 40, 40));

  ASSERT_TRUE(WaitFor([&] { return engine_.handshake_done(); }));
  EXPECT_TRUE(HasLine(LoadString(248)));
  const TrackTable table = engine_.track_table();
  ASSERT_EQ(table.headers.size(), 3u);
  EXPECT_EQ(table.valid, (std::vector<uint32_t>{0, 2}));
  EXPECT_EQ(table.headers[0].header_value, 70314u);
  EXPECT_EQ(table.headers[0].record_count, 10u);
  EXPECT_EQ(table.headers[1].valid, 0u);
  EXPECT_EQ(table.headers[2].record_format, 0);
  EXPECT_EQ(table.total_bytes, 10u * 20 + 7u * 12);
}

TEST_F(Connect, BusyHeaderQueryIsRepeatedWithoutCountingATry) {
  devsim::Scenario s;
  s.tracks = {Track(70314, 1, 4)};
  s.faults.busy = {{101, 4}};
  StartDevice(s);
  engine_.Connect(1);
  ASSERT_TRUE(WaitFor([&] { return engine_.handshake_done(); }, 30000));
  EXPECT_TRUE(HasLine(LoadString(248))) << Lines();
  EXPECT_FALSE(HasLine(LoadString(196)));
  EXPECT_EQ(engine_.track_table().valid, (std::vector<uint32_t>{0}));
}

// Notes, for each status line, whether the handshake already said it was done.
class DoneAtLineObserver : public test::RecordingObserver {
 public:
  explicit DoneAtLineObserver(const CDeviceEngine& engine) : engine_(engine) {}
  void OnStatusLine(const std::string& text, bool replace_last) override {
    if (text == LoadString(248)) done_before_line = engine_.handshake_done();
    RecordingObserver::OnStatusLine(text, replace_last);
  }
  std::atomic<bool> done_before_line{false};

 private:
  const CDeviceEngine& engine_;
};

TEST_F(Connect, CompleteLineIsSaidBeforeTheHandshakeCountsAsDone) {
  devsim::Scenario s;
  s.tracks = {Track(70314, 2, 3)};
  StartDevice(s);
  DoneAtLineObserver observer(engine_);
  engine_.SetObserver(&observer);
  engine_.Connect(1);
  ASSERT_TRUE(WaitFor([&] { return engine_.handshake_done(); }));
  // Whoever sees the done flag finds the line already reported.
  EXPECT_TRUE(HasLineIn(observer, LoadString(248)));
  EXPECT_FALSE(observer.done_before_line.load());
  EXPECT_TRUE(engine_.track_table_read());
  engine_.StopAllThreads();
  engine_.SetObserver(&observer_);
}

// A job started the moment the handshake says done must not have its own mode
// change crossed by the handshake's last one. The answer to the switches
// command before that change comes late, so with done said first the device
// would still be in link mode when the flag is seen.
TEST_F(Connect, DoneIsSaidOnlyOnceTheDeviceIsOutOfLinkMode) {
  devsim::Scenario s;
  s.tracks = {Track(70314, 2, 3)};
  s.faults.late = {{103, {1}, 600}};
  StartDevice(s);
  engine_.Connect(1);
  ASSERT_TRUE(WaitFor([&] { return engine_.handshake_done(); }));
  EXPECT_NE(sim_->TranscriptText().find(" H $PKVN113,2*"), std::string::npos)
      << sim_->TranscriptText();
  // The end report is the handshake thread's last act: a caller may start a
  // job on it without waiting for the thread.
  ASSERT_TRUE(WaitFor([&] { return !observer_.ends(OperationKind::kHandshake).empty(); }));
  EXPECT_TRUE(EndedOnce(OperationKind::kHandshake, kResultOk, LoadString(248)));
  EXPECT_TRUE(engine_.JoinEnded(CDeviceEngine::kSlotHandshake));
}

// An unanswered configuration or header query ends the handshake with its
// failure line and no track table.
TEST_F(Connect, UnansweredHandshakeQueriesLeaveNoTrackTable) {
  const struct {
    int command;
    std::string line;
  } cases[] = {{108, "Connection failure, please check device"}, {101, LoadString(196)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    devsim::Scenario s;
    s.tracks = {Track(70314, 2, 3)};
    s.faults.silent = {{c.command, 1000}};
    StartDevice(s);
    engine_.Connect(1);
    ASSERT_TRUE(WaitFor([&] { return engine_.handshake_done(); }, 60000));
    EXPECT_TRUE(HasLine(c.line)) << Lines();
    EXPECT_FALSE(HasLine(LoadString(248)));
    EXPECT_FALSE(engine_.track_table_read());
    ASSERT_TRUE(WaitFor([&] { return !observer_.ends(OperationKind::kHandshake).empty(); }));
    EXPECT_TRUE(EndedOnce(OperationKind::kHandshake, kResultNoAnswerRetries, c.line));
    engine_.StopAllThreads();
    engine_.Disconnect();
    sim_->Stop();
    observer_.Clear();
  }
}

// The mode change says whether the device answered: a failed upload or
// download hangs on that, and only leaving link mode is announced.
TEST_F(Connect, LinkModeSaysWhetherTheDeviceAnswered) {
  const std::string box =
      LoadString(kStrCaption) + std::string("|") + LoadString(kStrOperationMode);
  StartDevice(devsim::Scenario{});
  engine_.Connect(1);
  ASSERT_TRUE(WaitFor([&] { return engine_.handshake_done(); }));
  ASSERT_TRUE(engine_.JoinEnded(CDeviceEngine::kSlotHandshake));
  EXPECT_EQ(engine_.SetLinkMode(LinkMode::kLink, true), kResultOk);
  EXPECT_TRUE(observer_.messages().empty());
  EXPECT_EQ(engine_.SetLinkMode(LinkMode::kOperation, true), kResultOk);
  EXPECT_EQ(observer_.messages(), std::vector<std::string>{box});
  engine_.StopAllThreads();
  engine_.Disconnect();
  sim_->Stop();

  devsim::Scenario silent;
  silent.faults.silent = {{113, 1000}};
  StartDevice(silent);
  engine_.Connect(1);
  ASSERT_TRUE(WaitFor([&] { return engine_.handshake_done(); }, 60000));
  ASSERT_TRUE(engine_.JoinEnded(CDeviceEngine::kSlotHandshake));
  EXPECT_EQ(engine_.SetLinkMode(LinkMode::kUpload, true), kResultNoAnswer);
  EXPECT_EQ(observer_.messages(), std::vector<std::string>{box}) << "no second box";
}

TEST_F(Connect, SilentDeviceGives32) {
  devsim::Scenario s;
  s.faults.silent = {{100, 5}};
  StartDevice(s);
  EXPECT_EQ(engine_.Connect(1), kResultDeviceSilent);
  EXPECT_TRUE(HasLine(LoadString(kStrNoDataIn)));
  EXPECT_TRUE(HasNotification(WM_DEV_OPERATION_END, 1, 0));
  EXPECT_FALSE(engine_.link_flag.load());
}

TEST_F(Connect, OnTheLinkedPortWhileHandshakingAndAfter) {
  devsim::Scenario s;
  s.tracks = {Track(70314, 2, 3), Track(70315, 2, 3)};
  s.database = MakeImage(2);
  StartDevice(s);
  ASSERT_EQ(engine_.Connect(1), kResultOk);
  EXPECT_EQ(engine_.StartTrackDownload(), kResultHandshakeRunning);
  const int fd = engine_.port.fd();
  if (!engine_.handshake_done()) {
    EXPECT_EQ(engine_.Connect(1), kResultAlreadyRunning);
  }
  ASSERT_TRUE(WaitFor([&] { return engine_.handshake_done(); }));
  // Linked and idle: the handshake runs again on the open port.
  EXPECT_EQ(engine_.Connect(1), kResultAlreadyRunning);
  EXPECT_EQ(engine_.port.fd(), fd);
  ASSERT_TRUE(WaitFor([&] { return engine_.handshake_done() && !engine_.operation_running; }));
  EXPECT_EQ(engine_.track_table().valid.size(), 2u);
}

TEST_F(Connect, PortErrors) {
  StartDevice(devsim::Scenario{});
  EXPECT_EQ(engine_.Connect(2), kResultPortOpen);  // no such port
  EXPECT_FALSE(engine_.link_flag.load());
}

}  // namespace
}  // namespace tessor
