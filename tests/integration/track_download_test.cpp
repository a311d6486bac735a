#include <filesystem>
#include <fstream>
#include <iterator>

#include "device_fixture.h"
#include "engine/string_table.h"
#include "engine_test_access.h"
#include "logger/log_record.h"
#include "logger/nmea_conversion.h"
#include "part_files.h"

namespace tessor {
namespace {

using test::DeviceFixture;

// Records of a type along a path, with varied bytes (a "$", "*" and CR LF
// appear in the payload now and then).
std::vector<uint8_t> Records(int type, size_t count, float start_lat = 0.436f) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < count; ++i) {
    std::vector<uint8_t> r(LogRecord::Size(type), 0);
    const int t = 8 * 3600 + static_cast<int>(i);
    r[0] = static_cast<uint8_t>(i);
    r[1] = static_cast<uint8_t>(t / 3600), r[2] = static_cast<uint8_t>(t / 60 % 60);
    r[3] = static_cast<uint8_t>(t % 60);
    const float lat = start_lat + 0.00001f * i, lon = 2.12f - 0.00002f * i;
    const float alt = 30.0f + i, speed = 36.0f;
    std::memcpy(&r[4], &lat, 4), std::memcpy(&r[8], &lon, 4);
    if (type >= 1) std::memcpy(&r[12], &alt, 4);
    if (type >= 2) std::memcpy(&r[16], &speed, 4);
    bytes.insert(bytes.end(), r.begin(), r.end());
  }
  return bytes;
}

std::string Expected(uint32_t date, int type, const std::vector<uint8_t>& records) {
  std::string text;
  ConvertRecords(
      date, type, records, [&](std::string_view l) { text.append(l); }, [](const std::string&) {});
  return text;
}

class TrackDownload : public DeviceFixture {
 protected:
  devsim::TrackSource Track(uint32_t date, int type, size_t count) {
    devsim::TrackSource t;
    t.date = date;
    t.format = type;
    t.records = Records(type, count);
    return t;
  }

  // Connects, selects the tracks and runs the download to its end.
  void Download(const std::vector<int>& selected) {
    ASSERT_NE(engine_.Connect(1), kResultPortOpen);
    ASSERT_TRUE(WaitFor([&] { return engine_.handshake_done(); }));
    ASSERT_TRUE(engine_.JoinEnded(CDeviceEngine::kSlotHandshake));
    engine_.SelectTracks(selected);
    out_ = data_home_ + "/nmea";
    std::filesystem::create_directories(out_);
    engine_.SetOutputFolder(out_ + "/");
    ASSERT_EQ(engine_.StartTrackDownload(), kResultOk);
    ASSERT_TRUE(
        WaitFor([&] { return !engine_.ThreadRunning(CDeviceEngine::kSlotTrackDownload); }, 120000));
  }

  std::string File(const char* name) {
    std::ifstream in(out_ + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  bool AllUnselected() {
    for (const auto& h : engine_.track_table().headers) {
      if (h.selected) return false;
    }
    return true;
  }

  std::string out_;
};

TEST_F(TrackDownload, ThreeFormatsAreExactAndARefusedHeaderIsSkipped) {
  devsim::Scenario s;
  s.tracks = {Track(70314, 0, 900), Track(70315, 1, 700), Track(70316, 2, 1100),
              devsim::TrackSource{}};
  s.tracks[3].refused = true;
  StartDevice(s);
  Download({0, 1, 2});
  EXPECT_EQ(File("00000_70314.nmea"), Expected(70314, 0, s.tracks[0].records));
  EXPECT_EQ(File("00001_70315.nmea"), Expected(70315, 1, s.tracks[1].records));
  EXPECT_EQ(File("00002_70316.nmea"), Expected(70316, 2, s.tracks[2].records));
  EXPECT_TRUE(AllUnselected());
  EXPECT_EQ(engine_.track_download_summary().lost, 0);
  EXPECT_TRUE(HasNotification(WM_DEV_ENABLE_CONTROLS, 0, 0));
  EXPECT_TRUE(engine_.ignore_blocks.load());
  EXPECT_EQ(engine_.track_download_summary().files.size(), 3u);
  EXPECT_TRUE(EndedOnce(OperationKind::kTrackDownload, kResultOk));
  EXPECT_FALSE(test::PartFileLeft(out_ + "/00002_70316.nmea"));
}

// The download writes under a part name of its own: a user's file that
// happens to bear the old fixed part name is left as it was.
TEST_F(TrackDownload, AUsersFileNamedLikeAPartFileIsLeftAlone) {
  devsim::Scenario s;
  s.tracks = {Track(70314, 0, 50)};
  StartDevice(s);
  std::filesystem::create_directories(data_home_ + "/nmea");
  const std::string mine = data_home_ + "/nmea/00000_70314.nmea.part";
  std::ofstream(mine) << "my notes";
  Download({0});
  EXPECT_EQ(File("00000_70314.nmea"), Expected(70314, 0, s.tracks[0].records));
  std::ifstream in(mine);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "my notes");
}

TEST_F(TrackDownload, TrackLongerThanTheBufferComesInPieces) {
  devsim::Scenario s;
  // Crosses midnight inside a later piece: the date must carry over.
  devsim::TrackSource t = Track(71231, 2, 1000);
  for (size_t i = 0; i < 1000; ++i) {
    const int time = 23 * 3600 + 59 * 60 + static_cast<int>(i);
    t.records[i * 20 + 1] = static_cast<uint8_t>(time / 3600 % 24);
    t.records[i * 20 + 2] = static_cast<uint8_t>(time / 60 % 60);
    t.records[i * 20 + 3] = static_cast<uint8_t>(time % 60);
  }
  s.tracks = {t};
  StartDevice(s);
  engine_.track_buffer_size = 2410;  // not a multiple of the record size
  Download({0});
  EXPECT_EQ(File("00000_71231.nmea"), Expected(71231, 2, t.records));
  EXPECT_TRUE(HasLine("There are   0  errors in this track.Total point are  1000")) << Lines();
}

TEST_F(TrackDownload, HeaderRefusedAtDownloadLeavesAnEmptyFileAndTheFlag) {
  devsim::Scenario s;
  s.tracks = {Track(70314, 0, 10), Track(70315, 0, 10)};
  // The second 101 for track 0 (the re-read before its download) is refused.
  s.faults.busy = {};
  StartDevice(s);
  ASSERT_NE(engine_.Connect(1), kResultPortOpen);
  ASSERT_TRUE(WaitFor([&] { return engine_.handshake_done(); }));
  ASSERT_TRUE(engine_.JoinEnded(CDeviceEngine::kSlotHandshake));
  // Make the table claim a third track the device does not have.
  test::EngineTestAccess::EditTrackTable(engine_, [&](std::vector<TrackHeaderRecord>& headers) {
    engine_.config.track_header_count = 3;
    TrackHeaderRecord ghost = headers[1];
    ghost.header_value = 70399;
    headers.push_back(ghost);
  });
  engine_.SelectAllTracks();
  out_ = data_home_;
  engine_.SetOutputFolder(out_);
  ASSERT_EQ(engine_.StartTrackDownload(), kResultOk);
  ASSERT_TRUE(WaitFor([&] { return !engine_.ThreadRunning(CDeviceEngine::kSlotTrackDownload); }));
  EXPECT_TRUE(HasLine("Can't get track 2 point.This track is skipped."));
  EXPECT_TRUE(std::filesystem::exists(out_ + "/00002_70399.nmea"));
  EXPECT_EQ(File("00002_70399.nmea"), "");
  const std::vector<TrackHeaderRecord> headers = engine_.track_table().headers;
  EXPECT_EQ(headers[2].selected, 1u) << "a skipped track stays selected";
  EXPECT_EQ(headers[0].selected, 0u);
  // A skipped track leaves the download short: its end says so.
  EXPECT_TRUE(EndedOnce(OperationKind::kTrackDownload, kResultNoAnswerRetries,
                        "Can't get track 2 point.This track is skipped."));
}

TEST_F(TrackDownload, StoppedBlocksResumeAfterTheLastStoredByte) {
  devsim::Scenario s;
  s.tracks = {Track(70314, 2, 2000)};
  s.faults.stop_blocks_after = 1000;
  s.faults.stop_blocks_requests = {1, 3};
  StartDevice(s);
  Download({0});
  EXPECT_EQ(File("00000_70314.nmea"), Expected(70314, 2, s.tracks[0].records));
  EXPECT_EQ(engine_.track_download_summary().lost, 0);
  // The second request starts where the first stopped: after 1000 bytes.
  const std::string t = sim_->TranscriptText();
  EXPECT_NE(t.find("$PKVN102," + std::to_string(1000) + ","), std::string::npos);
}

TEST_F(TrackDownload, CorruptedBlocksAreAskedForAgain) {
  devsim::Scenario s;
  s.tracks = {Track(70314, 2, 3000)};
  s.faults.corrupt_checksum_every = 7;
  StartDevice(s);
  Download({0});
  EXPECT_EQ(File("00000_70314.nmea"), Expected(70314, 2, s.tracks[0].records));
  EXPECT_EQ(engine_.track_download_summary().lost, 0);
  EXPECT_GT(engine_.receiver.checksum_drops(), 0u);
}

TEST_F(TrackDownload, ThreeRefusalsGiveTheTrackUpAndTheNextOneComes) {
  devsim::Scenario s;
  s.tracks = {Track(70314, 0, 50), Track(70315, 0, 40)};
  s.faults.refuse_requests = {1, 2, 3};
  StartDevice(s);
  Download({0, 1});
  EXPECT_TRUE(HasLine("Can't Get Track No: 0 Data"));
  EXPECT_TRUE(HasLine(LoadString(189)));
  EXPECT_TRUE(HasLine("There are   50  errors in this track.Total point are  50"));
  EXPECT_EQ(File("00000_70314.nmea"), "");
  EXPECT_EQ(File("00001_70315.nmea"), Expected(70315, 0, s.tracks[1].records));
  EXPECT_EQ(engine_.track_download_summary().lost, 1);
}

TEST_F(TrackDownload, SilentDeviceGivesTheTrackUpAfterTenWaits) {
  devsim::Scenario s;
  s.tracks = {Track(70314, 1, 30)};
  s.faults.silent = {{102, 20}};
  StartDevice(s);
  Download({0});
  EXPECT_TRUE(HasLine("Can't Get Track No: 0 Data"));
  EXPECT_TRUE(HasLine("There are   30  errors in this track.Total point are  30"));
  EXPECT_EQ(engine_.track_download_summary().lost, 1);
}

// A busy report is waited out without counting: more of them than the silent
// waits allowed still lose no track.
TEST_F(TrackDownload, BusyReportsCountNeitherAsSilenceNorAsRefusal) {
  devsim::Scenario s;
  s.tracks = {Track(70314, 1, 30), Track(70315, 0, 20)};
  s.faults.busy = {{102, 12}};
  StartDevice(s);
  Download({0, 1});
  EXPECT_EQ(File("00000_70314.nmea"), Expected(70314, 1, s.tracks[0].records));
  EXPECT_EQ(File("00001_70315.nmea"), Expected(70315, 0, s.tracks[1].records));
  EXPECT_EQ(engine_.track_download_summary().lost, 0) << Lines();
}

// A request answered after its wait is asked again, and both answers come:
// the late one must not fill a later request (blocks carry no address). It
// comes after the line has been quiet for longer than the scaled wait, while
// later requests are answered.
TEST_F(TrackDownload, ALateAnswerToARepeatedRequestIsNeverTakenForTheNext) {
  TimingScale::Set(0.1);
  devsim::Scenario s;
  s.tracks = {Track(70314, 2, 600)};
  s.faults.late = {{102, {1}, 600}};
  StartDevice(s, true);
  engine_.request_limit = 240;
  Download({0});
  EXPECT_TRUE(File("00000_70314.nmea") == Expected(70314, 2, s.tracks[0].records))
      << "records out of place";
  EXPECT_EQ(engine_.track_download_summary().lost, 0);
}

// A request the device never took looks like a late one until the line has
// been quiet for a whole wait; then the download goes on, the track whole.
TEST_F(TrackDownload, ARequestTheDeviceNeverTookDelaysButLosesNothing) {
  TimingScale::Set(0.1);
  devsim::Scenario s;
  s.tracks = {Track(70314, 1, 300)};
  s.faults.silent = {{102, 1}};
  StartDevice(s);
  engine_.request_limit = 1600;
  Download({0});
  EXPECT_EQ(File("00000_70314.nmea"), Expected(70314, 1, s.tracks[0].records));
  EXPECT_EQ(engine_.track_download_summary().lost, 0);
}

TEST_F(TrackDownload, StopMidDownloadClearsEverySelection) {
  devsim::Scenario s;
  s.tracks = {Track(70314, 2, 20000), Track(70315, 2, 100)};
  StartDevice(s, true);  // paced: long enough to stop midway
  ASSERT_NE(engine_.Connect(1), kResultPortOpen);
  ASSERT_TRUE(WaitFor([&] { return engine_.handshake_done(); }, 60000));
  ASSERT_TRUE(engine_.JoinEnded(CDeviceEngine::kSlotHandshake));
  engine_.SelectAllTracks();
  out_ = data_home_;
  engine_.SetOutputFolder(out_);
  ASSERT_EQ(engine_.StartTrackDownload(), kResultOk);
  ASSERT_TRUE(WaitFor([&] { return engine_.transfer.overall_received.load() > 20000; }, 60000));
  engine_.worker_running = false;
  ASSERT_TRUE(WaitFor([&] { return !engine_.ThreadRunning(CDeviceEngine::kSlotTrackDownload); }));
  EXPECT_TRUE(AllUnselected());
  EXPECT_FALSE(std::filesystem::exists(out_ + "/00000_70314.nmea")) << "no half file";
  EXPECT_FALSE(test::PartFileLeft(out_ + "/00000_70314.nmea"));
}

// Unscaled pauses and waits on a paced line: every request's answer must come
// inside its real 2000 ms wait, or it would be asked again or the track lost.
class TrackDownloadAtRealTiming : public TrackDownload {
 protected:
  void SetUp() override {
    TrackDownload::SetUp();
    TimingScale::Set(1.0);
  }
};

TEST_F(TrackDownloadAtRealTiming, TwoTracksComeWhole) {
  devsim::Scenario s;
  s.tracks = {Track(70314, 2, 1500), Track(70315, 0, 800)};
  StartDevice(s, true);
  Download({0, 1});
  EXPECT_EQ(File("00000_70314.nmea"), Expected(70314, 2, s.tracks[0].records));
  EXPECT_EQ(File("00001_70315.nmea"), Expected(70315, 0, s.tracks[1].records));
  EXPECT_EQ(engine_.track_download_summary().lost, 0);
}

// A request of 19200 bytes takes the paced line about 3.6 s, longer than its
// 2000 ms wait: the wait goes on while blocks come, so no request is sent twice.
TEST_F(TrackDownloadAtRealTiming, AnAnswerStillComingIsWaitedForNotAskedAgain) {
  devsim::Scenario s;
  s.tracks = {Track(70314, 2, 1200)};
  StartDevice(s, true);
  engine_.request_limit = 19200;
  Download({0});
  EXPECT_EQ(File("00000_70314.nmea"), Expected(70314, 2, s.tracks[0].records));
  EXPECT_EQ(engine_.track_download_summary().lost, 0);
  const std::string transcript = sim_->TranscriptText();
  size_t requests = 0;
  for (size_t at = transcript.find("$PKVN102"); at != std::string::npos;
       at = transcript.find("$PKVN102", at + 1)) {
    ++requests;
  }
  EXPECT_EQ(requests, 2u) << "24000 bytes in requests of 19200";
}

}  // namespace
}  // namespace tessor
