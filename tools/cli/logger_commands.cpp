// Logger subcommands: tracks, download-tracks, erase-log, the settings, and the
// offline convert-log.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "engine/timing.h"
#include "logger/erase_wait.h"
#include "logger/logger_settings.h"
#include "logger/nmea_conversion.h"
#include "logger/track_export.h"
#include "tools/cli/cli_output.h"
#include "tools/cli/decimal_options.h"
#include "tools/cli/device_commands.h"
#include "tools/cli/device_session.h"
#include "tools/cli/json_output.h"

namespace tessor::cli {

namespace {

struct LoggerOptions {
  std::string port;
  bool progress = false;
  std::string out;
  std::vector<int> tracks;
  bool yes = false;
  std::string log_type, memory_full, log, nmea;
  uint32_t interval = 0;
  int data_type = 0;
  int32_t speed_filter = 0;
  int format = 0;
  uint32_t date = 0;
  std::string in;
  bool json = false;
  std::vector<std::string> formats;  // download-tracks --format
  std::string to = "nmea";           // convert-log --to
  bool resume = false;               // download-tracks --resume
  bool erase_after = false;          // download-tracks --erase-after
};

// The formats asked for, each once, NMEA first; NMEA alone when none is named.
std::vector<TrackFormat> FormatsAsked(const std::vector<std::string>& names) {
  std::vector<TrackFormat> formats;
  for (const TrackFormat f : {TrackFormat::kNmea, TrackFormat::kGpx, TrackFormat::kKml}) {
    for (const std::string& name : names) {
      if (TrackFormatNamed(name) == f) {
        formats.push_back(f);
        break;
      }
    }
  }
  if (formats.empty()) formats.push_back(TrackFormat::kNmea);
  return formats;
}

// Writes each downloaded track in the formats asked for, beside its NMEA file,
// which stays only when NMEA is among them, a copy of its track failed (the
// track's data is not thrown away then, but the file is not listed) or the
// download is unfinished (--resume goes on from it). Prints each file
// written; false when one could not be written.
bool WriteFormats(const std::vector<std::string>& nmea_files,
                  const std::vector<TrackFormat>& formats, bool unfinished) {
  bool all = true;
  const bool keep_nmea = formats.front() == TrackFormat::kNmea || unfinished;
  for (const std::string& nmea : nmea_files) {
    bool copied = true;
    for (const TrackFormat f : formats) {
      const std::string path = f == TrackFormat::kNmea ? nmea : ExportPath(nmea, f);
      if (f == TrackFormat::kNmea || ExportTrackFile(nmea, f)) {
        PrintStatus(path);
      } else {
        PrintError("Can not write " + path + ": " + std::strerror(errno));
        copied = false;
      }
    }
    if (!keep_nmea && copied) std::remove(nmea.c_str());
    all = all && copied;
  }
  return all;
}

void AddCommon(CLI::App* sub, LoggerOptions& o) {
  sub->add_option("--port", o.port, kPortHelp);
  sub->add_flag(
      "--progress", o.progress,
      "print 'progress DONE/TOTAL' lines on standard error, and for download-tracks and "
      "erase-log 'phase STEP' lines naming the track or step reached (a terminal shows a bar "
      "without it)");
}

int ListTracks(DeviceSession& s, bool json) {
  const std::vector<TrackHeaderRecord> headers = s.engine().track_table().headers;
  if (json) {
    PrintJson(TracksJson(headers));
    return kExitOk;
  }
  for (size_t i = 0; i < headers.size(); ++i) {
    char line[128];
    std::snprintf(line, sizeof line, "%zu\t%06u\t%d\t%u\t%u", i, headers[i].header_value,
                  headers[i].record_format, headers[i].record_count, headers[i].valid);
    PrintStatus(line);
  }
  return kExitOk;
}

// Shows a download's progress from the engine's counters, read on the tool's
// own thread: the bytes received over all tracks, and the track the download
// has reached (a track's selection is cleared once it is done).
class DownloadProgress {
 public:
  explicit DownloadProgress(DeviceSession& s) : s_(s), bytes_(s.engine().TrackBytesToCome()) {
    for (const TrackHeaderRecord& h : s.engine().track_table().headers)
      tracks_ += h.valid && h.selected;
  }

  int tracks() const { return tracks_; }

  void operator()() {
    int left = 0;
    for (const TrackHeaderRecord& h : s_.engine().track_table().headers) {
      left += h.valid && h.selected;
    }
    // A short track may begin and end between two looks: each one reached is named.
    for (; left > 0 && shown_ < tracks_ - left + 1; ++shown_) {
      s_.observer().ShowPhase("track " + std::to_string(shown_ + 1) + " of " +
                              std::to_string(tracks_));
    }
    // A repeated request's answer may be counted twice: never past the total.
    const uint64_t received = std::min<uint64_t>(s_.engine().track_bytes_received(), bytes_);
    s_.observer().ShowProgress(static_cast<int64_t>(received), static_cast<int64_t>(bytes_));
  }

 private:
  DeviceSession& s_;
  uint64_t bytes_ = 0;
  int tracks_ = 0;
  int shown_ = 0;
};

// Marks the tracks to download; false (with the reason printed) when a named
// track is not a valid one.
bool SelectTracks(CDeviceEngine& e, const std::vector<int>& tracks) {
  const std::vector<TrackHeaderRecord> headers = e.track_table().headers;
  for (int n : tracks) {
    if (n < 0 || static_cast<size_t>(n) >= headers.size() || !headers[n].valid) {
      PrintError("no valid track " + std::to_string(n));
      return false;
    }
  }
  if (tracks.empty()) {
    e.SelectAllTracks();
  } else {
    e.SelectTracks(tracks);
  }
  return true;
}

// Follows the erase on the tool's thread: the time shown, Ctrl-C heard, a
// lost line told apart from the end, and a bound on a device that never
// falls quiet.
int FollowErase(DeviceSession& s) {
  s.observer().ShowPhase("erase");
  s.observer().ShowSteps(0, 1);
  EraseWatch watch;
  watch.each_round = [&s](std::chrono::milliseconds elapsed) {
    s.observer().ShowElapsed("erasing", static_cast<int>(elapsed.count() / 1000));
  };
  watch.stop_requested = [] { return DeviceSession::interrupted(); };
  watch.limit_ms = timing::kEraseLimitMs;
  switch (WaitEraseEnd(s.engine(), watch)) {
    case EraseEnd::kQuiet:
      s.observer().ShowSteps(1, 1);
      return kExitOk;
    case EraseEnd::kStillErasing:
      PrintError("the device still reports erasing after " +
                 std::to_string(s.engine().transport().WaitMs(timing::kEraseLimitMs) / 1000) +
                 " s");
      return kExitDeviceFailed;
    case EraseEnd::kLineLost:
    case EraseEnd::kStopped:
      break;
  }
  s.SetFinished("the erase was started; the device may still be erasing");
  if (!s.interrupted()) PrintError("the line was lost before the erase ended");
  return kResultPortNotOpen;
}

int EraseLog(DeviceSession& s) {
  const int result = s.engine().EraseLog();
  if (result != kResultOk) return result;
  return FollowErase(s);
}

// The log is erased only when every selected track is whole in its file and
// every copy asked for was written; otherwise each track that is not is named.
int EraseAfterDownload(DeviceSession& s, const TrackDownloadSummary& summary, bool exported) {
  if (s.interrupted()) {
    PrintError("the log was not erased: the download was interrupted");
    return kExitOk;  // the session ends with the signal's status
  }
  bool whole = summary.whole() && summary.lost == 0;
  for (const TrackResult& t : summary.tracks) {
    const std::string why = TrackEndText(t.end);
    if (why.empty()) continue;
    PrintError("track " + std::to_string(t.index) + ": " + why);
    whole = false;
  }
  if (!exported) PrintError("a copy of a track could not be written");
  if (!whole || !exported) {
    PrintError("the log was not erased: not every track was downloaded whole");
    return kExitOk;  // the download's own failure is the exit status
  }
  return EraseLog(s);
}

int DownloadTracks(DeviceSession& s, const LoggerOptions& o) {
  CDeviceEngine& e = s.engine();
  if (!SelectTracks(e, o.tracks)) return kExitUsage;
  e.SetOutputFolder(o.out);
  e.SetTrackResume(o.resume);
  DownloadProgress progress(s);
  if (s.interrupted()) return kExitOk;  // the session ends with the signal's status
  if (const int started = e.StartTrackDownload(); started != kResultOk) return started;
  s.WaitWorker(CDeviceEngine::kSlotTrackDownload, std::ref(progress));
  const TrackDownloadSummary summary = e.track_download_summary();
  s.observer().EndBar();
  const bool unfinished = !summary.whole() || summary.lost > 0;
  const bool exported = WriteFormats(summary.files, FormatsAsked(o.formats), unfinished);
  s.SetFinished(std::to_string(summary.files.size()) + " of " + std::to_string(progress.tracks()) +
                " tracks written");
  const int erased = o.erase_after ? EraseAfterDownload(s, summary, exported) : kExitOk;
  if (summary.file_failed || !exported) return kExitCannotWrite;
  if (summary.lost > 0 || summary.unfinished > 0) return kExitDeviceFailed;
  return erased;
}

// "on"/"off" and the like as the 0 or 1 of a switch; -1 when it is neither.
int Choice(const std::string& text, const char* zero, const char* one) {
  return text == zero ? 0 : text == one ? 1 : -1;
}

int SetLogConfig(DeviceSession& s, const LoggerOptions& o) {
  EnterSettingMode(s.engine());
  return s.engine().SetLoggerConfig(Choice(o.log_type, "time", "distance"), o.interval, o.data_type,
                                    Choice(o.memory_full, "overwrite", "stop"));
}

int SetSwitches(DeviceSession& s, const LoggerOptions& o) {
  EnterSettingMode(s.engine());
  return s.engine().SetLogSwitches(Choice(o.log, "off", "on"), Choice(o.nmea, "off", "on"));
}

int SetSpeedFilter(DeviceSession& s, const LoggerOptions& o) {
  EnterSettingMode(s.engine());
  return s.engine().SetSpeedFilter(o.speed_filter);
}

int ConvertLog(const LoggerOptions& o) {
  std::string bytes;
  if (!ReadWholeFile(o.in, bytes)) {
    PrintError(o.in + ": " + std::strerror(errno));
    return kExitBadInput;
  }
  std::string text;
  ConvertRecords(
      o.date, o.format,
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
      [&](std::string_view line) { text.append(line); },
      [](const std::string& line) { PrintStatus(line); });
  if (!WriteTrackAs(text, TrackName(o.out), *TrackFormatNamed(o.to), o.out)) {
    PrintError(o.out + ": " + std::strerror(errno));
    return kExitCannotWrite;
  }
  return kExitOk;
}

using Job = int (*)(DeviceSession&, const LoggerOptions&);

void OnDevice(CLI::App* sub, std::shared_ptr<LoggerOptions> o, int& exit_status, Job job) {
  sub->callback([o, &exit_status, job] {
    exit_status = FinishOutput(
        RunOnDevice(o->port, o->progress, [&](DeviceSession& s) { return job(s, *o); }));
  });
}

}  // namespace

void AddLoggerCommands(CLI::App& app, int& exit_status) {
  auto o = std::make_shared<LoggerOptions>();

  CLI::App* tracks = app.add_subcommand("tracks", "list the tracks");
  AddCommon(tracks, *o);
  AddJsonFlag(tracks, &o->json);
  OnDevice(tracks, o, exit_status,
           [](DeviceSession& s, const LoggerOptions& o) { return ListTracks(s, o.json); });

  CLI::App* download = app.add_subcommand("download-tracks", "download tracks into NMEA files");
  AddCommon(download, *o);
  download->add_option("--out", o->out, "output folder")->required()->check(CLI::ExistingDirectory);
  AddDecimals(download, "--track", &o->tracks,
              "track index as 'tracks' lists it (repeatable; all valid tracks by default)",
              DecimalRange(0, 65535));
  download
      ->add_option("--format", o->formats,
                   "write the tracks as nmea, gpx or kml files (repeatable; nmea alone by default)")
      ->check(CLI::IsMember({"nmea", "gpx", "kml"}));
  download->add_flag("--resume", o->resume,
                     "go on from an unfinished download into the same folder: whole tracks are "
                     "not asked for again, a stopped one goes on where it stopped");
  download->add_flag("--erase-after", o->erase_after,
                     "erase the log afterwards, but only when every selected track was downloaded "
                     "whole and its file read back");
  OnDevice(download, o, exit_status, DownloadTracks);

  CLI::App* erase = app.add_subcommand("erase-log", "erase the log and wait for the end");
  AddCommon(erase, *o);
  erase->add_flag("--yes", o->yes, "confirm the erase")->required();
  OnDevice(erase, o, exit_status,
           [](DeviceSession& s, const LoggerOptions&) { return EraseLog(s); });

  CLI::App* config = app.add_subcommand("set-log-config", "set the logger configuration");
  AddCommon(config, *o);
  config
      ->add_option("--log-type", o->log_type,
                   "log a point after a time (time) or after a distance (distance)")
      ->required()
      ->check(CLI::IsMember({"time", "distance"}));
  AddDecimal(config, "--interval", &o->interval,
             "seconds (--log-type time) or metres (--log-type distance) between points, 1 to 60",
             DecimalRange(1, 60))
      ->required();
  AddDecimal(config, "--data-type", &o->data_type,
             "fields each record holds: 0, 1 or 2 (records of 12, 16 or 20 bytes)",
             DecimalRange(0, 2))
      ->required();
  config
      ->add_option("--memory-full", o->memory_full,
                   "when the log memory is full: overwrite the oldest points, or stop logging")
      ->required()
      ->check(CLI::IsMember({"overwrite", "stop"}));
  OnDevice(config, o, exit_status, SetLogConfig);

  CLI::App* switches = app.add_subcommand("set-switches", "set the log and NMEA output switches");
  AddCommon(switches, *o);
  switches->add_option("--log", o->log, "logging of track points on or off")
      ->required()
      ->check(CLI::IsMember({"on", "off"}));
  switches
      ->add_option("--nmea", o->nmea,
                   "NMEA position sentences on the serial line on or off (the GPS-mouse mode)")
      ->required()
      ->check(CLI::IsMember({"on", "off"}));
  OnDevice(switches, o, exit_status, SetSwitches);

  CLI::App* filter = app.add_subcommand("set-speed-filter", "set the speed filter");
  AddCommon(filter, *o);
  AddDecimal(filter, "N", &o->speed_filter,
             "speed filter value in the device's own unit, 0 to 2147483647",
             DecimalRange(0, 2147483647))
      ->required();
  OnDevice(filter, o, exit_status, SetSpeedFilter);

  CLI::App* convert = app.add_subcommand("convert-log", "convert raw log records into NMEA");
  AddDecimal(convert, "--format", &o->format, "record format: 0, 1 or 2 (12, 16 or 20 bytes)",
             DecimalRange(0, 2))
      ->required();
  AddDecimal(convert, "--date", &o->date, "date of the track's first point, YYMMDD", YyMmDdDate())
      ->required();
  convert
      ->add_option("IN", o->in, "raw log records: the bytes of one track as the logger holds them")
      ->required();
  convert->add_option("--to", o->to, "format of the file written: nmea (default), gpx or kml")
      ->check(CLI::IsMember({"nmea", "gpx", "kml"}));
  convert->add_option("OUT", o->out, "NMEA file to write (GPX or KML with --to)")->required();
  convert->callback([o, &exit_status] { exit_status = ConvertLog(*o); });
}

}  // namespace tessor::cli
