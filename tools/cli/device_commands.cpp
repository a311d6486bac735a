// Device subcommands of the database side: info, upload, download-db, battery.
#include "tools/cli/device_commands.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "database/image_validation.h"
#include "database/number_text.h"
#include "tools/cli/cli_output.h"
#include "tools/cli/device_session.h"
#include "tools/cli/interrupt.h"
#include "tools/cli/json_output.h"

namespace tessor::cli {

namespace {

struct DeviceOptions {
  std::string port;
  bool progress = false;
  bool json = false;
  bool verbose = false;
};

void AddCommon(CLI::App* sub, DeviceOptions& o) {
  sub->add_option("--port", o.port, kPortHelp);
  sub->add_flag("--progress", o.progress, "print 'progress DONE/TOTAL' lines on standard error");
}

double Degrees(float radians) {
  return radians * 180.0 / M_PI;
}

int Info(DeviceSession& s, bool json, bool verbose) {
  const DeviceSummary d = s.engine().device_summary();
  KeyValueReport report;
  report.Add("name", d.name);
  report.Add("firmware", std::to_string(d.firmware_version), d.firmware_version);
  report.Add("capacity", std::to_string(d.capacity), d.capacity);
  const int used = d.flash_usage.used_percent;
  report.Add("flash-used-percent", std::to_string(used), used);
  report.Add("tracks", std::to_string(d.track_count), d.track_count);
  const DatabaseCoverage& c = d.coverage;
  const auto [text, numbers] = DegreeFields({Degrees(c.min_longitude), Degrees(c.min_latitude),
                                             Degrees(c.max_longitude), Degrees(c.max_latitude)});
  report.Add("coverage", text, numbers);
  if (verbose) {
    // Drops on a sound line point to a device that frames its sentences
    // differently; drops that come and go point to the line.
    report.Add("dropped-sentences", std::to_string(d.garbled_sentences), d.garbled_sentences);
    report.Add("dropped-blocks", std::to_string(d.garbled_blocks), d.garbled_blocks);
  }
  report.Print(json);
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
  e.SetImagePath(image);
  if (const int started = e.StartDatabaseUpload(); started != kResultOk) return started;
  s.WaitWorker(CDeviceEngine::kSlotDatabaseUpload);
  const bool ok = s.observer().ended(OperationKind::kDatabaseUpload) == kResultOk;
  return ok ? kExitOk : kExitDeviceFailed;
}

int DownloadDb(DeviceSession& s, const std::string& out, const std::string& compare) {
  CDeviceEngine& e = s.engine();
  // The comparison is this command's own, and only with the file it names.
  e.set_download_compares_upload(false);
  if (const int started = e.StartDatabaseDownload(); started != kResultOk) return started;
  s.WaitWorker(CDeviceEngine::kSlotDatabaseDownload);
  if (s.observer().ended(OperationKind::kDatabaseDownload) != kResultOk) return kExitDeviceFailed;
  // This run's own image: DLDB.bin may hold another run's by now.
  const std::vector<uint8_t> image = e.TakeDownloadedImage();
  const std::string bytes(image.begin(), image.end());
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

int Battery(DeviceSession& s, bool json) {
  uint8_t value = 0;
  const int result = s.engine().QueryBattery(&value);
  if (result != kResultOk) return result;
  KeyValueReport report;
  report.Add("battery", value == 0 ? "low" : "ok");
  report.Print(json);
  return kExitOk;
}

}  // namespace

int RunOnDevice(const std::string& port, bool progress,
                const std::function<int(DeviceSession&)>& job) {
  int status;
  {
    DeviceSession session(progress);
    const int opened = session.Open(port);
    status = opened != kResultOk ? opened : job(session);
  }
  // An interrupted job ends with the signal's status, whatever it made of the stop.
  if (const int signal = InterruptWatch::Signal(); signal != 0) return 128 + signal;
  return status;
}

void AddDeviceCommands(CLI::App& app, int& exit_status) {
  auto options = std::make_shared<DeviceOptions>();
  auto image = std::make_shared<std::string>();
  auto out = std::make_shared<std::string>();
  auto compare = std::make_shared<std::string>();

  CLI::App* info = app.add_subcommand("info", "connect and report the device");
  AddCommon(info, *options);
  AddJsonFlag(info, &options->json);
  info->add_flag("--verbose", options->verbose,
                 "also report how many sentences arrived with a wrong checksum and were dropped "
                 "(dropped-sentences), data blocks among them (dropped-blocks)");
  info->callback([=, &exit_status] {
    exit_status = FinishOutput(RunOnDevice(options->port, options->progress, [=](DeviceSession& s) {
      return Info(s, options->json, options->verbose);
    }));
  });

  CLI::App* upload = app.add_subcommand("upload", "validate and upload a database image");
  AddCommon(upload, *options);
  upload->add_option("IMAGE", *image, "database image")->required();
  upload->callback([=, &exit_status] {
    exit_status = FinishOutput(RunOnDevice(options->port, options->progress,
                                           [=](DeviceSession& s) { return Upload(s, *image); }));
  });

  CLI::App* download = app.add_subcommand("download-db", "read the database back into a file");
  AddCommon(download, *options);
  download->add_option("OUT", *out, "output file")->required();
  download->add_option("--compare", *compare, "image to compare with, byte for byte");
  download->callback([=, &exit_status] {
    exit_status = FinishOutput(RunOnDevice(options->port, options->progress, [=](DeviceSession& s) {
      return DownloadDb(s, *out, *compare);
    }));
  });

  CLI::App* battery = app.add_subcommand("battery", "query the battery");
  AddCommon(battery, *options);
  AddJsonFlag(battery, &options->json);
  battery->callback([=, &exit_status] {
    exit_status = FinishOutput(RunOnDevice(options->port, options->progress, [=](DeviceSession& s) {
      return Battery(s, options->json);
    }));
  });
}

}  // namespace tessor::cli
