// The fault matrix: every device operation against the simulator with each of
// its faults. A cell may end in success or in a reported failure, but never in
// wrong data passed off as right, a thread left running or a port left open
// after the link is gone.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <utility>

#include "device_fixture.h"
#include "engine/string_table.h"
#include "logger/log_record.h"
#include "logger/nmea_conversion.h"

namespace tessor {
namespace {

using test::DeviceFixture;

constexpr const char* kUploadFailed =
    "Failed to upload the DB, please check the connection or the device!!";

enum class Op { kConnect, kUpload, kDownload, kTracks };
enum class Fault {
  kNone,
  kNoAnswer,
  kBusyStorm,
  kGarbage,
  kChecksums,
  kBadAckXor,
  kBlockGaps,
  kRefusals,
  kBinaryPairs,
  kVanish,
};
// What the cell must end in.
enum class Expect {
  kSuccess,   // the operation completes with the right data
  kReported,  // success, or a failure the user is told about
  kLinkGone,  // the link ends (port closed, the user told), unless the fault never fired
};

struct Cell {
  Op op;
  Fault fault;
  Expect expect;
};

const char* OpName(Op op) {
  switch (op) {
    case Op::kConnect:
      return "Connect";
    case Op::kUpload:
      return "Upload";
    case Op::kDownload:
      return "DatabaseDownload";
    case Op::kTracks:
      return "TrackDownload";
  }
  return "?";
}

const char* FaultName(Fault f) {
  static const char* const kNames[] = {"NoFault",     "NoAnswer",  "BusyStorm", "Garbage",
                                       "Checksums",   "BadAckXor", "BlockGaps", "Refusals",
                                       "BinaryPairs", "Vanish"};
  return kNames[static_cast<int>(f)];
}

// The command whose answer each operation cannot do without.
int KeyCommand(Op op) {
  switch (op) {
    case Op::kConnect:
      return 100;
    case Op::kUpload:
      return 999;
    case Op::kDownload:
      return 115;
    case Op::kTracks:
      return 102;
  }
  return 0;
}

std::vector<uint8_t> Records(int type, size_t count) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < count; ++i) {
    std::vector<uint8_t> r(LogRecord::Size(type), 0);
    const int t = 23 * 3600 + 59 * 60 + static_cast<int>(i);  // crosses midnight
    r[0] = static_cast<uint8_t>(i);
    r[1] = static_cast<uint8_t>(t / 3600 % 24), r[2] = static_cast<uint8_t>(t / 60 % 60);
    r[3] = static_cast<uint8_t>(t % 60);
    const float lat = 0.436f + 0.00001f * i, lon = 2.12f - 0.00002f * i, alt = 3.0f, v = 9.0f;
    std::memcpy(&r[4], &lat, 4), std::memcpy(&r[8], &lon, 4);
    if (type >= 1) std::memcpy(&r[12], &alt, 4);
    if (type >= 2) std::memcpy(&r[16], &v, 4);
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

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Where in the device's bytes each operation runs with this device: the
// connect sends about 360 bytes; then the upload about 220, the database
// download about 1140 and the track download about 4700 (a cell that no
// longer meets its fault says so).
std::pair<uint32_t, uint32_t> VanishRange(Op op) {
  switch (op) {
    case Op::kConnect:
      return {40, 330};
    case Op::kUpload:
      return {380, 560};
    case Op::kDownload:
      return {380, 1450};
    case Op::kTracks:
      return {380, 5000};
  }
  return {0, 0};
}

class FaultMatrix : public DeviceFixture, public ::testing::WithParamInterface<Cell> {
 protected:
  // A device holding a small database and two small tracks of different formats.
  devsim::Scenario Device(const Cell& cell) {
    devsim::Scenario s;
    s.erase_reports_ms = 300;
    if (cell.op != Op::kUpload) s.database = MakeImage(20);
    devsim::TrackSource a, b;
    a.date = 231231, a.format = 2, a.records = Records(2, 160);
    b.date = 240229, b.format = 0, b.records = Records(0, 90);
    s.tracks = {a, b};
    devsim::Faults& f = s.faults;
    const int key = KeyCommand(cell.op);
    switch (cell.fault) {
      case Fault::kNone:
        break;
      case Fault::kNoAnswer:
        f.silent = {{key, 1000}};
        break;
      case Fault::kBusyStorm:
        // Connect's storm falls on the header queries, the others' on their key command.
        f.busy = {{cell.op == Op::kConnect ? 101 : key, 6}};
        break;
      case Fault::kGarbage:
        f.garbage_between_sentences = 24;
        break;
      case Fault::kChecksums:
        // A connect alone brings about ten sentences.
        f.corrupt_checksum_every = 7;
        break;
      case Fault::kBadAckXor:
        f.bad_ack_xor = {0, 2, 3};
        break;
      case Fault::kBlockGaps:
        f.stop_blocks_after = 1000;
        f.stop_blocks_requests = {1, 2};
        break;
      case Fault::kRefusals:
        f.refuse_requests = {1, 3};
        break;
      case Fault::kBinaryPairs:
        f.binary_protocol_pairs = 8;
        break;
      case Fault::kVanish: {
        // A random moment inside the operation's own answers, reproducible
        // from the seed printed with a failure.
        const auto [first, last] = VanishRange(cell.op);
        std::mt19937 random(seed_);
        f.vanish_after_bytes = std::uniform_int_distribution<uint32_t>(first, last)(random);
        break;
      }
    }
    return s;
  }

  // The cell's operation; true when the user was told it worked.
  bool Run(const Cell& cell, const devsim::Scenario& s) {
    const int connected = engine_.Connect(1);
    connect_result_ = connected;
    // The handshake is judged when its thread has ended, done or cut short
    // (the link lost, the binary protocol seen): by then it has said all.
    const bool ended =
        WaitFor([&] { return !engine_.ThreadRunning(CDeviceEngine::kSlotHandshake); }, kBoundMs);
    const bool handshake =
        ended && engine_.handshake_done.load() && engine_.track_table_read.load();
    notifications_before_ = observer_.notifications().size();
    if (cell.op == Op::kConnect) {
      return connected == kResultOk && handshake && HasLine(LoadString(248));
    }
    if (connected != kResultOk && connected != kResultNoDatabase) return false;
    if (!handshake || !engine_.JoinEnded(CDeviceEngine::kSlotHandshake)) return false;
    switch (cell.op) {
      case Op::kUpload:
        engine_.image_path = WriteFile("image.bin", image_);
        if (engine_.StartDatabaseUpload() != kResultOk) return false;
        WaitFor([&] { return engine_.upload_finished.load() == 1; }, kBoundMs);
        WaitWorkers();
        return engine_.upload_succeeded.load() && HasLine("Finished uploading VELD Data.");
      case Op::kDownload:
        if (engine_.StartDatabaseDownload() != kResultOk) return false;
        WaitFor([&] { return engine_.database_download_finished.load(); }, kBoundMs);
        WaitWorkers();
        return engine_.download_succeeded.load() && HasNotification(WM_DEV_DOWNLOAD_END, 0, 1);
      case Op::kTracks: {
        {
          std::lock_guard<std::mutex> lock(engine_.headers_mutex);
          for (auto& h : engine_.track_headers) h.selected = 1;
          if (engine_.track_headers.size() != s.tracks.size()) return false;
        }
        out_ = data_home_ + "/nmea";
        std::filesystem::create_directories(out_);
        engine_.SetOutputFolder(out_ + "/");
        if (engine_.StartTrackDownload() != kResultOk) return false;
        WaitWorkers();
        // A download that the lost link stopped is not whole, lost tracks or not.
        return engine_.tracks_lost.load() == 0 && !HasLine(LoadString(kStrPortAccessError)) &&
               HasNotification(WM_DEV_ENABLE_CONTROLS, 0, 0);
      }
      case Op::kConnect:
        break;
    }
    return false;
  }

  // Waits, bounded, for the worker threads; records whether they ended.
  void WaitWorkers() {
    workers_ended_ = WaitFor(
        [&] {
          for (int slot = CDeviceEngine::kSlotHandshake; slot < CDeviceEngine::kSlotCount; ++slot)
            if (engine_.ThreadRunning(slot)) return false;
          return true;
        },
        kBoundMs);
  }

  // What the user was told about a failure: a status line, a box or an end
  // notification carrying the failure.
  bool FailureReported(const Cell& cell) {
    if (HasLine(LoadString(kStrPortAccessError))) return true;
    for (const std::string& m : observer_.messages())
      if (m.find(kBinaryProtocolText) != std::string::npos) return true;
    // A failed connect is told for every operation: none of them runs after it.
    if (HasLine("Connection failure, please check device") || HasLine(LoadString(196))) return true;
    if (connect_result_ != kResultOk && connect_result_ != kResultNoDatabase) return true;
    switch (cell.op) {
      case Op::kConnect:
        return connect_result_ != kResultOk;
      case Op::kUpload:
        for (const std::string& m : observer_.messages())
          if (m.find(kUploadFailed) != std::string::npos) return true;
        return HasLine(kUploadFailed) || NotifiedSinceStart(WM_DEV_OPERATION_END, 1, 0);
      case Op::kDownload:
        return HasNotification(WM_DEV_DOWNLOAD_END, 0, 0);
      case Op::kTracks:
        return engine_.tracks_lost.load() > 0;
    }
    return false;
  }

  // Connect ends with its own notifications; only those of the operation count.
  bool NotifiedSinceStart(int id, int64_t first, int64_t second) const {
    const auto all = observer_.notifications();
    for (size_t i = notifications_before_; i < all.size(); ++i) {
      if (all[i].id == id && all[i].first == first && all[i].second == second) return true;
    }
    return false;
  }

  // The cell's fault took effect: a cell that never meets it repeats the
  // no-fault case and proves nothing.
  bool FaultMet(const Cell& cell) const {
    const std::string t = sim_->TranscriptText();
    const auto device_said = [&](const std::string& text) {
      return t.find(" D " + text) != std::string::npos;
    };
    switch (cell.fault) {
      case Fault::kNone:
        return true;
      case Fault::kNoAnswer:
        return t.find(" H $PKVN" + std::to_string(KeyCommand(cell.op))) != std::string::npos;
      case Fault::kBusyStorm:
        return device_said("$LOG000,1");
      case Fault::kGarbage:
        // Noise goes out on its own, as a device line that is no sentence.
        for (size_t at = t.find(" D "); at != std::string::npos; at = t.find(" D ", at + 3))
          if (t[at + 3] != '$') return true;
        return false;
      case Fault::kChecksums:
        return engine_.receiver.checksum_drops() > 0;
      case Fault::kBadAckXor:
        return device_said("$LOG999,0,1,");  // the acknowledgement of block 0
      case Fault::kBlockGaps:
        return t.find(" H $PKVN102,") != std::string::npos;  // request 1 stops early
      case Fault::kRefusals:
        return device_said("$LOG102,0*");
      case Fault::kBinaryPairs:
        return engine_.receiver.binary_sync_count() > 0;
      case Fault::kVanish:
        return sim_->vanished();
    }
    return false;
  }

  // No data is wrong without being reported.
  void CheckData(const Cell& cell, const devsim::Scenario& s, bool succeeded) {
    switch (cell.op) {
      case Op::kConnect:
        if (succeeded) {
          std::lock_guard<std::mutex> lock(engine_.headers_mutex);
          ASSERT_EQ(engine_.track_headers.size(), s.tracks.size());
          for (size_t i = 0; i < s.tracks.size(); ++i) {
            EXPECT_EQ(engine_.track_headers[i].header_value, s.tracks[i].date) << i;
            EXPECT_EQ(engine_.track_headers[i].record_count,
                      s.tracks[i].records.size() / LogRecord::Size(s.tracks[i].format))
                << i;
          }
        }
        break;
      case Op::kUpload:
        if (succeeded) {
          EXPECT_TRUE(sim_->DatabaseDump() == image_) << "upload reported as verified";
        }
        break;
      case Op::kDownload: {
        const std::string dl = ReadText(DataFile("DLDB.bin"));
        if (succeeded) {
          EXPECT_TRUE(dl == std::string(s.database.begin(), s.database.end()))
              << "download reported whole but differs";
        }
        break;
      }
      case Op::kTracks:
        for (size_t i = 0; i < s.tracks.size(); ++i) {
          char name[32];
          std::snprintf(name, sizeof name, "%05zu_%u.nmea", i, s.tracks[i].date);
          const std::string path = out_ + "/" + name;
          const std::string want =
              Expected(s.tracks[i].date, s.tracks[i].format, s.tracks[i].records);
          const bool lost =
              HasLine(std::string(LoadString(188)) + " " + std::to_string(i) + " Data");
          if (std::filesystem::exists(path)) {
            // A file under its final name holds the device's track, or is reported lost.
            EXPECT_TRUE(lost || ReadText(path) == want)
                << name << " differs from the device's bytes and is not reported lost";
          } else {
            EXPECT_FALSE(succeeded) << name << " missing after a download reported whole";
          }
          EXPECT_FALSE(std::filesystem::exists(path + ".part")) << name;
        }
        break;
    }
  }

  static constexpr int kBoundMs = 60000;
  std::vector<uint8_t> image_ = MakeImage(40);
  uint32_t seed_ = 0;
  int connect_result_ = 0;
  size_t notifications_before_ = 0;
  bool workers_ended_ = true;
  std::string out_;
};

TEST_P(FaultMatrix, EndsRightOrReportsAndLeavesNothingRunning) {
  const Cell cell = GetParam();
  seed_ = static_cast<uint32_t>(std::random_device{}());
  SCOPED_TRACE("seed " + std::to_string(seed_));
  const devsim::Scenario s = Device(cell);
  StartDevice(s);
  const bool succeeded = Run(cell, s);
  EXPECT_TRUE(workers_ended_) << "a worker thread outlived the bound";
  const bool failed = FailureReported(cell);
  SCOPED_TRACE("status lines:" + Lines());

  if (cell.expect == Expect::kSuccess) {
    EXPECT_TRUE(succeeded) << "the operation should succeed";
  }
  if (!succeeded) {
    EXPECT_TRUE(failed) << "a failure nobody was told about";
  }
  if (succeeded && cell.op != Op::kTracks) {
    EXPECT_FALSE(failed) << "told both success and failure";
  }
  CheckData(cell, s, succeeded);
  EXPECT_TRUE(FaultMet(cell)) << "the operation never met the fault";

  const bool link_gone = sim_->vanished() || engine_.receiver.binary_sync_count() >
                                                 SentenceReceiver::kBinaryPairsTolerated;
  if (cell.expect == Expect::kLinkGone && link_gone) {
    // Nobody calls Disconnect: the lost link alone closes the port.
    EXPECT_TRUE(WaitFor([&] { return !engine_.ThreadRunning(CDeviceEngine::kSlotLink); }, kBoundMs))
        << "the link thread outlived the link";
    EXPECT_TRUE(WaitFor([&] { return (engine_.link_status.load() & 1) == 0; }, kBoundMs))
        << "port still open after the link is gone";
    EXPECT_FALSE(succeeded && cell.op == Op::kUpload && sim_->DatabaseDump() != image_);
    EXPECT_TRUE(failed || succeeded);
  }
  engine_.Disconnect();
  engine_.StopAllThreads();
  for (int slot = 0; slot < CDeviceEngine::kSlotCount; ++slot)
    EXPECT_FALSE(engine_.ThreadRunning(slot)) << "slot " << slot;
  EXPECT_FALSE(engine_.port.is_open());
}

// Acknowledgements come only in an upload, data blocks and their refusals
// only in a track download: those faults have no cell with another operation.
std::vector<Cell> Cells() {
  using E = Expect;
  std::vector<Cell> cells;
  for (Op op : {Op::kConnect, Op::kUpload, Op::kDownload, Op::kTracks}) {
    cells.push_back({op, Fault::kNone, E::kSuccess});
    cells.push_back({op, Fault::kNoAnswer, E::kReported});
    cells.push_back({op, Fault::kBusyStorm, E::kReported});
    cells.push_back({op, Fault::kGarbage, E::kSuccess});
    cells.push_back({op, Fault::kChecksums, E::kReported});
    cells.push_back({op, Fault::kBinaryPairs, E::kLinkGone});
    cells.push_back({op, Fault::kVanish, E::kLinkGone});
  }
  cells.push_back({Op::kUpload, Fault::kBadAckXor, E::kSuccess});
  cells.push_back({Op::kTracks, Fault::kBlockGaps, E::kSuccess});
  cells.push_back({Op::kTracks, Fault::kRefusals, E::kSuccess});
  return cells;
}

INSTANTIATE_TEST_SUITE_P(Cells, FaultMatrix, ::testing::ValuesIn(Cells()),
                         [](const ::testing::TestParamInfo<Cell>& info) {
                           return std::string(OpName(info.param.op)) + "_" +
                                  FaultName(info.param.fault);
                         });

}  // namespace
}  // namespace tessor
