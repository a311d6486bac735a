#include "tools/cli/offline_commands.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "database/binary_file_process.h"
#include "database/camera_info.h"
#include "database/file_process.h"
#include "database/message_seam.h"
#include "database/mveld_file_process.h"
#include "database/number_text.h"
#include "logger/track_map_page.h"
#include "poi/map_page.h"
#include "poi/poi_file.h"
#include "poi/poi_rules.h"
#include "tools/cli/cli_output.h"
#include "tools/cli/json_output.h"
#include "tools/cli/offline_image_commands.h"

namespace tessor::cli {

namespace {

struct PoiCheckArgs {
  std::string input, coverage, save, save_all;
  bool json = false;
};

// "MINLON,MINLAT,MAXLON,MAXLAT" in degrees; empty gives the all-zero rectangle.
bool ParseCoverage(const std::string& text, DatabaseCoverage& coverage) {
  coverage = {};
  if (text.empty()) return true;
  const auto numbers = ParseNumbers(text, 4);
  if (!numbers) return false;
  const auto rad = [](double degrees) { return static_cast<float>(degrees) * kDegToRad; };
  coverage = {rad((*numbers)[0]), rad((*numbers)[1]), rad((*numbers)[2]), rad((*numbers)[3])};
  return true;
}

// One list entry with the POI page's formats: the printed degrees are the
// numbers in both forms.
Json PoiRowJson(size_t number, const CPOI& poi) {
  return {{"No.", number},
          {"Latitude", PrintedNumber(FormatNumbers("%f", poi.latitude * kRadToDeg))},
          {"Longitude", PrintedNumber(FormatNumbers("%f", poi.longitude * kRadToDeg))},
          {"Speed", static_cast<int>(poi.vmax)},
          {"Comments", std::string(poi.comment())},
          {"Status", PoiStatusText(poi)}};
}

// A tab or line end in a comment is escaped: it would split the row.
std::string PoiRowText(size_t number, const CPOI& poi) {
  return FormatNumbers("%zu\t%f\t%f\t%d\t", number, poi.latitude * kRadToDeg,
                       poi.longitude * kRadToDeg, static_cast<int>(poi.vmax)) +
         EscapeField(poi.comment()) + "\t" + PoiStatusText(poi);
}

void PrintPoiRows(const PoiList& list, bool json) {
  Json rows = Json::array();
  if (!json) PrintStatus("No.\tLatitude\tLongitude\tSpeed\tComments\tStatus");
  size_t valid = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    if (json) {
      rows.push_back(PoiRowJson(i + 1, *list[i]));
    } else {
      PrintStatus(PoiRowText(i + 1, *list[i]));
    }
    valid += list[i]->status == Valid;
  }
  if (json) {
    PrintJson({{"pois", rows}, {"Valid POIs", valid}});
  } else {
    PrintStatus("Valid POIs\t" + std::to_string(valid));
  }
}

bool SavePois(const std::string& path, const PoiList& list, bool only_valid) {
  if (path.empty() || WritePoiFile(path, list, only_valid)) return true;
  PrintError("cannot write " + path);
  return false;
}

int RunPoiCheck(const PoiCheckArgs& args) {
  DatabaseCoverage coverage;
  if (!ParseCoverage(args.coverage, coverage)) {
    PrintError("--coverage takes MINLON,MINLAT,MAXLON,MAXLAT in degrees");
    return kExitUsage;
  }
  CPOIFileProcess reader;
  std::vector<CPOI>* pois = nullptr;
  if (!reader.OpenAndRead(args.input) || !reader.GetPois(&pois)) {
    PrintError("cannot read POIs from " + args.input);
    return kExitBadInput;
  }
  std::vector<CPOI> records;
  PoiList list;
  list.reserve(kPoiListCapacity);
  const size_t left_out =
      BuildPoiList(pois->data(), reader.record_count(), coverage, records, list);
  if (left_out > 0) ShowMessageBox(reader.caption(), PoiLeftOutText(left_out));
  PrintPoiRows(list, args.json);
  const bool saved = SavePois(args.save, list, true) && SavePois(args.save_all, list, false);
  return saved ? kExitOk : kExitCannotWrite;
}

struct MapPageArgs {
  std::string poi, coverage, output;
};

int RunMapPage(const MapPageArgs& args) {
  const auto poi = ParseNumbers(args.poi, 2);
  const auto box = ParseNumbers(args.coverage, 4);
  if (!poi || !box) {
    PrintError("--poi takes LAT,LON and --coverage MINLON,MINLAT,MAXLON,MAXLAT in degrees");
    return kExitUsage;
  }
  const MapPosition min = {(*box)[1], (*box)[0]};
  const MapPosition max = {(*box)[3], (*box)[2]};
  if (WriteMapPage(args.output, {(*poi)[0], (*poi)[1]}, min, max)) return kExitOk;
  PrintError("cannot write " + args.output + ": " + std::strerror(errno));
  return kExitCannotWrite;
}

int RunMapTrack(const std::string& input, const std::string& output) {
  switch (WriteTrackFileMap(input, output, DefaultMapAddresses())) {
    case TrackMapResult::kWritten:
      return kExitOk;
    case TrackMapResult::kUnreadable:
      PrintError(input + ": " + std::strerror(errno));
      return kExitBadInput;
    case TrackMapResult::kNoPoints:
      PrintError(input + ": no track points");
      return kExitBadInput;
    case TrackMapResult::kNotWritten:
      break;
  }
  PrintError("cannot write " + output + ": " + std::strerror(errno));
  return kExitCannotWrite;
}

int RunExportBinary(const std::string& input, const std::string& output) {
  CBinaryFileProcess exporter;
  exporter.set_output_path(output);
  if (exporter.OpenAndRead(input)) return kExitOk;
  return exporter.output_failed() ? kExitCannotWrite : kExitBadInput;
}

int RunConvertMobile(const std::string& input, const std::string& output) {
  CMVELDFileProcess converter;
  if (!converter.OpenAndRead(input)) return kExitBadInput;
  // The converted lines become a camera file: its header first.
  if (WriteWholeFile(output, std::string(kCameraHeader) + "\r\n" + converter.output())) {
    return kExitOk;
  }
  PrintError("cannot write " + output + ": " + std::strerror(errno));
  return kExitCannotWrite;
}

void AddPoiCommands(CLI::App& app, int& exit_status) {
  auto args = std::make_shared<PoiCheckArgs>();
  CLI::App* check =
      app.add_subcommand("poi-check", "Read a POI file and judge it as the POI page does");
  check->add_option("input", args->input, "POI CSV file")->required();
  check->add_option("--coverage", args->coverage, "MINLON,MINLAT,MAXLON,MAXLAT in degrees");
  check->add_option("--save", args->save, "write the valid entries to this file");
  check->add_option("--save-all", args->save_all, "write every listed entry to this file");
  AddJsonFlag(check, &args->json);
  check->footer(
      "A tab, line feed, carriage return or backslash in a comment is printed as \\t, \\n, "
      "\\r or \\\\ in the tab rows.");
  check->callback([args, &exit_status] { exit_status = FinishOutput(RunPoiCheck(*args)); });

  auto page = std::make_shared<MapPageArgs>();
  CLI::App* map = app.add_subcommand("map-page", "Write the map page for one POI");
  map->add_option("--poi", page->poi, "LAT,LON in degrees")->required();
  map->add_option("--coverage", page->coverage, "MINLON,MINLAT,MAXLON,MAXLAT in degrees")
      ->required();
  map->add_option("output", page->output, "HTML file to write")->required();
  map->callback([page, &exit_status] { exit_status = RunMapPage(*page); });

  auto track = std::make_shared<std::pair<std::string, std::string>>();
  CLI::App* track_map = app.add_subcommand(
      "map-track", "Write a map page that draws a track with start and end markers");
  track_map->add_option("input", track->first, "track file: NMEA or GPX")->required();
  track_map->add_option("output", track->second, "HTML file to write")->required();
  track_map->callback(
      [track, &exit_status] { exit_status = RunMapTrack(track->first, track->second); });
}

void AddConverterCommands(CLI::App& app, int& exit_status) {
  auto files = std::make_shared<std::pair<std::string, std::string>>();
  CLI::App* binary =
      app.add_subcommand("export-binary-list", "Export a binary camera list as camera CSV");
  binary->add_option("input", files->first, "binary camera list")->required();
  binary->add_option("output", files->second, "camera CSV to write")->required();
  binary->callback(
      [files, &exit_status] { exit_status = RunExportBinary(files->first, files->second); });

  auto mobile_files = std::make_shared<std::pair<std::string, std::string>>();
  CLI::App* mobile =
      app.add_subcommand("convert-mobile", "Convert a mobile-camera list into camera CSV");
  mobile->add_option("input", mobile_files->first, "mobile-camera list")->required();
  mobile->add_option("output", mobile_files->second, "camera CSV to write")->required();
  mobile->callback([mobile_files, &exit_status] {
    exit_status = RunConvertMobile(mobile_files->first, mobile_files->second);
  });
}

}  // namespace

void AddOfflineCommands(CLI::App& app, int& exit_status) {
  AddPoiCommands(app, exit_status);
  AddImageCommands(app, exit_status);
  AddConverterCommands(app, exit_status);
}

}  // namespace tessor::cli
