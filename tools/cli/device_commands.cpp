// Device subcommands of the database side: info, upload, download-db, battery.
#include "tools/cli/device_commands.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "database/image_validation.h"
#include "database/number_text.h"
#include "tools/cli/cli_output.h"
#include "tools/cli/device_session.h"

namespace tessor::cli {

namespace {

struct DeviceOptions {
  std::string port;
  bool progress = false;
};

void AddCommon(CLI::App* sub, DeviceOptions& o) {
  sub->add_option("--port", o.port, kPortHelp);
  sub->add_flag("--progress", o.progress, "print 'progress DONE/TOTAL' lines on standard error");
}

void Print(const std::string& key, const std::string& value) {
  PrintStatus(key + "\t" + value);
}

double Degrees(float radians) {
  return radians * 180.0 / M_PI;
}

int Info(DeviceSession& s) {
  CDeviceEngine& e = s.engine();
  const std::string coverage = FormatNumbers(
      "%.6f,%.6f,%.6f,%.6f", Degrees(e.coverage.min_longitude), Degrees(e.coverage.min_latitude),
      Degrees(e.coverage.max_longitude), Degrees(e.coverage.max_latitude));
  size_t tracks;
  {
    std::lock_guard<std::mutex> lock(e.headers_mutex);
    tracks = e.track_headers.size();
  }
  Print("name", e.device_name);
  Print("firmware", std::to_string(e.firmware_version));
  Print("capacity", std::to_string(e.capacity));
  Print("flash-used-percent", std::to_string(e.flash_usage.used_percent));
  Print("tracks", std::to_string(tracks));
  Print("coverage", coverage);
  return kExitOk;
}

int Upload(DeviceSession& s, const std::string& image) {
  std::string bytes;
  if (!ReadWholeFile(image, bytes)) {
    PrintError(image + ": " + std::strerror(errno));
    return kExitBadInput;
  }
  const ImageVerdict verdict = ValidateImage(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
  if (!verdict.valid) {
    PrintError(image + ": not a database image: " + verdict.reason);
    return kExitBadInput;
  }
  CDeviceEngine& e = s.engine();
  e.image_path = image;
  if (const int started = e.StartDatabaseUpload(); started != kResultOk) return started;
  s.WaitWorker(CDeviceEngine::kSlotDatabaseUpload);
  return e.upload_succeeded.load() ? kExitOk : kExitDeviceFailed;
}

int DownloadDb(DeviceSession& s, const std::string& out, const std::string& compare) {
  CDeviceEngine& e = s.engine();
  // The comparison is this command's own, and only with the file it names.
  e.download_compares_upload = false;
  if (const int started = e.StartDatabaseDownload(); started != kResultOk) return started;
  s.WaitWorker(CDeviceEngine::kSlotDatabaseDownload);
  if (!e.download_succeeded.load()) return kExitDeviceFailed;
  // This run's own image: DLDB.bin may hold another run's by now.
  const std::string bytes(e.downloaded_image.begin(), e.downloaded_image.end());
  if (!WriteWholeFile(out, bytes)) {
    PrintError(out + ": " + std::strerror(errno));
    return kExitCannotWrite;
  }
  if (compare.empty()) return kExitOk;
  std::string expected;
  if (!ReadWholeFile(compare, expected)) {
    PrintError(compare + ": " + std::strerror(errno));
    return kExitBadInput;
  }
  if (expected.size() != bytes.size()) {
    PrintStatus("Data size is not identical");
    return kExitDeviceFailed;
  }
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != expected[i]) {
      PrintStatus("Data is not identical at offset " + std::to_string(i));
      return kExitDeviceFailed;
    }
  }
  PrintStatus("They are Identical !!");
  return kExitOk;
}

int Battery(DeviceSession& s) {
  uint8_t value = 0;
  const int result = s.engine().QueryBattery(&value);
  if (result != kResultOk) return result;
  Print("battery", value == 0 ? "low" : "ok");
  return kExitOk;
}

}  // namespace

int RunOnDevice(const std::string& port, bool progress,
                const std::function<int(DeviceSession&)>& job) {
  DeviceSession session(progress);
  const int opened = session.Open(port);
  if (opened != kResultOk) return opened;
  return job(session);
}

void AddDeviceCommands(CLI::App& app, int& exit_status) {
  auto options = std::make_shared<DeviceOptions>();
  auto image = std::make_shared<std::string>();
  auto out = std::make_shared<std::string>();
  auto compare = std::make_shared<std::string>();

  CLI::App* info = app.add_subcommand("info", "connect and report the device");
  AddCommon(info, *options);
  info->callback(
      [=, &exit_status] { exit_status = RunOnDevice(options->port, options->progress, Info); });

  CLI::App* upload = app.add_subcommand("upload", "validate and upload a database image");
  AddCommon(upload, *options);
  upload->add_option("IMAGE", *image, "database image")->required();
  upload->callback([=, &exit_status] {
    exit_status = RunOnDevice(options->port, options->progress,
                              [=](DeviceSession& s) { return Upload(s, *image); });
  });

  CLI::App* download = app.add_subcommand("download-db", "read the database back into a file");
  AddCommon(download, *options);
  download->add_option("OUT", *out, "output file")->required();
  download->add_option("--compare", *compare, "image to compare with, byte for byte");
  download->callback([=, &exit_status] {
    exit_status = RunOnDevice(options->port, options->progress,
                              [=](DeviceSession& s) { return DownloadDb(s, *out, *compare); });
  });

  CLI::App* battery = app.add_subcommand("battery", "query the battery");
  AddCommon(battery, *options);
  battery->callback(
      [=, &exit_status] { exit_status = RunOnDevice(options->port, options->progress, Battery); });
}

}  // namespace tessor::cli
