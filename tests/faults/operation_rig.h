// Every device operation run end to end against the simulator, and judged:
// what the user was told, and whether the data matches the device's.
#pragma once

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "device_fixture.h"
#include "engine/string_table.h"
#include "logger/log_record.h"
#include "logger/nmea_conversion.h"

namespace tessor::test {

inline constexpr const char* kUploadFailed =
    "Failed to upload the DB, please check the connection or the device!!";

enum class Op { kConnect, kUpload, kDownload, kTracks };
inline const char* OpName(Op op) {
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

inline std::vector<uint8_t> Records(int type, size_t count) {
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

inline std::string Expected(uint32_t date, int type, const std::vector<uint8_t>& records) {
  std::string text;
  ConvertRecords(
      date, type, records, [&](std::string_view l) { text.append(l); }, [](const std::string&) {});
  return text;
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class OperationRig : public DeviceFixture {
 protected:
  // A device holding a small database (none for an upload) and two small
  // tracks of different formats.
  devsim::Scenario BaseDevice(Op op) {
    devsim::Scenario s;
    s.erase_reports_ms = 300;
    if (op != Op::kUpload) s.database = MakeImage(20);
    devsim::TrackSource a, b;
    a.date = 231231, a.format = 2, a.records = Records(2, 160);
    b.date = 240229, b.format = 0, b.records = Records(0, 90);
    s.tracks = {a, b};
    return s;
  }

  // The operation; true when the user was told it worked.
  bool Run(Op op, const devsim::Scenario& s) {
    const int connected = engine_.Connect(1);
    connect_result_ = connected;
    // The handshake is judged when its thread has ended, done or cut short
    // (the link lost, the binary protocol seen): by then it has said all.
    const bool ended =
        WaitFor([&] { return !engine_.ThreadRunning(CDeviceEngine::kSlotHandshake); }, kBoundMs);
    const bool handshake = ended && engine_.handshake_done() && engine_.track_table_read();
    notifications_before_ = observer_.notifications().size();
    if (op == Op::kConnect) {
      return connected == kResultOk && handshake && HasLine(LoadString(248));
    }
    if (connected != kResultOk && connected != kResultNoDatabase) return false;
    if (!handshake || !engine_.JoinEnded(CDeviceEngine::kSlotHandshake)) return false;
    switch (op) {
      case Op::kUpload:
        engine_.SetImagePath(WriteFile("image.bin", image_));
        if (engine_.StartDatabaseUpload() != kResultOk) return false;
        WaitFor([&] { return engine_.upload_finished() == 1; }, kBoundMs);
        WaitWorkers();
        return engine_.upload_succeeded() && HasLine("Finished uploading VELD Data.");
      case Op::kDownload:
        return ReadBack();
      case Op::kTracks: {
        engine_.SelectAllTracks();
        if (engine_.track_table().headers.size() != s.tracks.size()) return false;
        out_ = data_home_ + "/nmea";
        std::filesystem::create_directories(out_);
        engine_.SetOutputFolder(out_ + "/");
        if (engine_.StartTrackDownload() != kResultOk) return false;
        WaitWorkers();
        // A download that the lost link stopped is not whole, lost tracks or not.
        return engine_.track_download_summary().lost == 0 &&
               !HasLine(LoadString(kStrPortAccessError)) &&
               HasNotification(WM_DEV_ENABLE_CONTROLS, 0, 0);
      }
      case Op::kConnect:
        break;
    }
    return false;
  }

  // The database download on the connected engine; true when told it is whole.
  bool ReadBack() {
    if (engine_.StartDatabaseDownload() != kResultOk) return false;
    WaitFor([&] { return engine_.database_download_finished(); }, kBoundMs);
    WaitWorkers();
    return engine_.download_succeeded() && HasNotification(WM_DEV_DOWNLOAD_END, 0, 1);
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
  bool FailureReported(Op op) {
    if (HasLine(LoadString(kStrPortAccessError))) return true;
    for (const std::string& m : observer_.messages())
      if (m.find(kBinaryProtocolText) != std::string::npos) return true;
    // A failed connect is told for every operation: none of them runs after it.
    if (HasLine("Connection failure, please check device") || HasLine(LoadString(196))) return true;
    if (connect_result_ != kResultOk && connect_result_ != kResultNoDatabase) return true;
    switch (op) {
      case Op::kConnect:
        return connect_result_ != kResultOk;
      case Op::kUpload:
        for (const std::string& m : observer_.messages())
          if (m.find(kUploadFailed) != std::string::npos) return true;
        return HasLine(kUploadFailed) || NotifiedSinceStart(WM_DEV_OPERATION_END, 1, 0);
      case Op::kDownload:
        return HasNotification(WM_DEV_DOWNLOAD_END, 0, 0);
      case Op::kTracks:
        return engine_.track_download_summary().lost > 0;
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

  // No data is wrong without being reported.
  void CheckData(Op op, const devsim::Scenario& s, bool succeeded) {
    switch (op) {
      case Op::kConnect:
        if (succeeded) {
          const std::vector<TrackHeaderRecord> headers = engine_.track_table().headers;
          ASSERT_EQ(headers.size(), s.tracks.size());
          for (size_t i = 0; i < s.tracks.size(); ++i) {
            EXPECT_EQ(headers[i].header_value, s.tracks[i].date) << i;
            EXPECT_EQ(headers[i].record_count,
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

  // Nothing of the engine outlives the test's disconnect.
  void CheckNothingLeftRunning() {
    engine_.Disconnect();
    engine_.StopAllThreads();
    for (int slot = 0; slot < CDeviceEngine::kSlotCount; ++slot)
      EXPECT_FALSE(engine_.ThreadRunning(slot)) << "slot " << slot;
    EXPECT_FALSE(engine_.port.is_open());
  }

  static constexpr int kBoundMs = 60000;
  std::vector<uint8_t> image_ = MakeImage(40);
  int connect_result_ = 0;
  size_t notifications_before_ = 0;
  bool workers_ended_ = true;
  std::string out_;
};

}  // namespace tessor::test
