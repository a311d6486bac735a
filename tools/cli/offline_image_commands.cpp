#include "tools/cli/offline_image_commands.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "database/camera_file_process.h"
#include "database/database_image.h"
#include "database/image_validation.h"
#include "database/map_arrangement.h"
#include "database/number_text.h"
#include "tools/cli/cli_output.h"
#include "tools/cli/decimal_options.h"
#include "tools/cli/json_output.h"

namespace tessor::cli {

namespace {

// The cell sizes the image builder offers, read in decimal like every number.
CLI::Validator CellSizes() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        const auto km = ParseDecimal(text);
        if (km && (*km == 1 || *km == 2 || *km == 3 || *km == 5 || *km == 10)) return {};
        return "'" + text + "' is not one of the cell sizes 1, 2, 3, 5 and 10";
      },
      "{1,2,3,5,10}");
}

// A number printed with nine decimals, the same in both forms.
void AddNumber(KeyValueReport& report, const char* key, double value) {
  const std::string text = FormatNumbers("%.9f", value);
  report.Add(key, text, PrintedNumber(text));
}

void AddCount(KeyValueReport& report, const char* key, uint64_t value) {
  report.Add(key, std::to_string(value), value);
}

void AddCoverage(KeyValueReport& report, const DatabaseCoverage& c) {
  const auto [text, numbers] =
      DegreeFields({c.min_longitude * kRadToDeg, c.min_latitude * kRadToDeg,
                    c.max_longitude * kRadToDeg, c.max_latitude * kRadToDeg});
  report.Add("coverage", text, numbers);
}

void AddHeader(KeyValueReport& report, const EngineDatabaseInfo& info) {
  const auto& f = info.flags;
  report.Add("magic", std::string(info.magic.begin(), info.magic.end()));
  report.Add("flags",
             std::to_string(f[0]) + "," + std::to_string(f[1]) + "," + std::to_string(f[2]) + "," +
                 std::to_string(f[3]),
             Json::array({f[0], f[1], f[2], f[3]}));
  AddNumber(report, "min-latitude", info.min_latitude);
  AddNumber(report, "min-longitude", info.min_longitude);
  AddNumber(report, "max-latitude", info.max_latitude);
  AddNumber(report, "max-longitude", info.max_longitude);
  AddCoverage(report, CoverageOf(info));
  AddNumber(report, "grid-p", info.grid_p);
  AddNumber(report, "grid-q", info.grid_q);
  AddCount(report, "grid-x", info.grid_x);
  AddCount(report, "grid-y", info.grid_y);
  AddCount(report, "value-r", info.value_r);
  AddCount(report, "index-size", IndexSize(info.grid_x, info.grid_y));
}

// The reads a download makes: the first entry, the last one, and the range.
void AddPointRange(KeyValueReport& report, std::span<const uint8_t> image,
                   const EngineDatabaseInfo& info) {
  const uint64_t index_size = IndexSize(info.grid_x, info.grid_y);
  if (kIndexOffset + index_size > image.size()) return;
  const auto last =
      LastIndexEntry(image.subspan(kIndexOffset, index_size), info.grid_x, info.grid_y);
  if (!last) return;
  const CellIndexEntry first =
      ParseIndexEntry(image.subspan(kIndexOffset).first<kIndexEntrySize>());
  AddCount(report, "first-point-offset", first.point_offset);
  AddCount(report, "last-cell-points", last->point_count);
  AddCount(report, "last-cell-offset", last->point_offset);
  const auto range = PointDataRange(first, *last);
  if (!range) {
    report.Add("point-range", "invalid");
    return;
  }
  AddCount(report, "point-start", range->start);
  AddCount(report, "point-length", range->length);
}

int RunImageInfo(const std::string& path, bool json) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) {
    PrintError("cannot read " + path + ": " + std::strerror(errno));
    return kExitBadInput;
  }
  const auto image =
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  KeyValueReport report;
  EngineDatabaseInfo info;
  if (UnpackHeader(image, info)) {
    AddHeader(report, info);
    AddPointRange(report, image, info);
  }
  const ImageVerdict verdict = ValidateImage(image);
  report.Add("valid", verdict.valid ? "yes" : "no: " + verdict.reason, verdict.valid);
  if (!verdict.valid && json) report.Add("reason", verdict.reason);
  report.Print(json);
  return verdict.valid ? kExitOk : kExitBadInput;
}

struct BuildArgs {
  std::string cameras, output;
  double cell_km = 5.0;
  uint32_t capacity = kDefaultFlashCapacity;
};

int RunBuildImage(const BuildArgs& args) {
  CCameraInfoFileProcess reader;
  std::vector<CCameraInfo>* cameras = nullptr;
  if (!reader.OpenAndRead(args.cameras) || !reader.GetCameras(&cameras)) {
    PrintError("cannot read cameras from " + args.cameras);
    return kExitBadInput;
  }
  CMapArrangement arrangement;
  arrangement.flash_capacity = args.capacity;
  const bool built = arrangement.Build(*cameras, args.cell_km,
                                       [](const std::string& line, bool) { PrintStatus(line); });
  if (!built) return kExitBadInput;
  const std::string bytes(arrangement.image.begin(), arrangement.image.end());
  if (WriteWholeFile(args.output, bytes)) return kExitOk;
  PrintError("cannot write " + args.output + ": " + std::strerror(errno));
  return kExitCannotWrite;
}

}  // namespace

void AddImageCommands(CLI::App& app, int& exit_status) {
  auto image = std::make_shared<std::pair<std::string, bool>>();
  CLI::App* info = app.add_subcommand(
      "image-info", "Print the header, index size, point range and verdict of an image");
  info->add_option("image", image->first, "database image")->required();
  AddJsonFlag(info, &image->second);
  info->callback([image, &exit_status] {
    exit_status = FinishOutput(RunImageInfo(image->first, image->second));
  });

  auto args = std::make_shared<BuildArgs>();
  CLI::App* build = app.add_subcommand("build-image", "Build a database image from a camera list");
  build->add_option("cameras", args->cameras, "camera CSV")->required();
  build->add_option("output", args->output, "image to write")->required();
  AddDecimal(build, "--cell-km", &args->cell_km, "cell size in km: 1, 2, 3, 5 or 10 (default 5)",
             CellSizes());
  AddDecimal(build, "--capacity", &args->capacity,
             "device flash size in bytes, 1 to 4294967295 (default 2097152)",
             DecimalRange(1, 4294967295));
  build->callback([args, &exit_status] { exit_status = FinishOutput(RunBuildImage(*args)); });
}

}  // namespace tessor::cli
