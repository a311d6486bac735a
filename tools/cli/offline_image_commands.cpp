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

namespace tessor::cli {

namespace {

void PrintValue(const char* key, const std::string& value) {
  PrintStatus(std::string(key) + "\t" + value);
}

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

std::string Number(double value) {
  return FormatNumbers("%.9f", value);
}

std::string Degrees(float radians) {
  return FormatNumbers("%.6f", radians * kRadToDeg);
}

void PrintHeader(const EngineDatabaseInfo& info) {
  const auto& f = info.flags;
  PrintValue("magic", std::string(info.magic.begin(), info.magic.end()));
  PrintValue("flags", std::to_string(f[0]) + "," + std::to_string(f[1]) + "," +
                          std::to_string(f[2]) + "," + std::to_string(f[3]));
  PrintValue("min-latitude", Number(info.min_latitude));
  PrintValue("min-longitude", Number(info.min_longitude));
  PrintValue("max-latitude", Number(info.max_latitude));
  PrintValue("max-longitude", Number(info.max_longitude));
  const DatabaseCoverage c = CoverageOf(info);
  PrintValue("coverage", Degrees(c.min_longitude) + "," + Degrees(c.min_latitude) + "," +
                             Degrees(c.max_longitude) + "," + Degrees(c.max_latitude));
  PrintValue("grid-p", Number(info.grid_p));
  PrintValue("grid-q", Number(info.grid_q));
  PrintValue("grid-x", std::to_string(info.grid_x));
  PrintValue("grid-y", std::to_string(info.grid_y));
  PrintValue("value-r", std::to_string(info.value_r));
  PrintValue("index-size", std::to_string(IndexSize(info.grid_x, info.grid_y)));
}

// The reads a download makes: the first entry, the last one, and the range.
void PrintPointRange(std::span<const uint8_t> image, const EngineDatabaseInfo& info) {
  const uint64_t index_size = IndexSize(info.grid_x, info.grid_y);
  if (kIndexOffset + index_size > image.size()) return;
  const auto last =
      LastIndexEntry(image.subspan(kIndexOffset, index_size), info.grid_x, info.grid_y);
  if (!last) return;
  const CellIndexEntry first =
      ParseIndexEntry(image.subspan(kIndexOffset).first<kIndexEntrySize>());
  PrintValue("first-point-offset", std::to_string(first.point_offset));
  PrintValue("last-cell-points", std::to_string(last->point_count));
  PrintValue("last-cell-offset", std::to_string(last->point_offset));
  const auto range = PointDataRange(first, *last);
  if (!range) {
    PrintValue("point-range", "invalid");
    return;
  }
  PrintValue("point-start", std::to_string(range->start));
  PrintValue("point-length", std::to_string(range->length));
}

int RunImageInfo(const std::string& path) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) {
    PrintError("cannot read " + path + ": " + std::strerror(errno));
    return kExitBadInput;
  }
  const auto image =
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  EngineDatabaseInfo info;
  if (UnpackHeader(image, info)) {
    PrintHeader(info);
    PrintPointRange(image, info);
  }
  const ImageVerdict verdict = ValidateImage(image);
  PrintValue("valid", verdict.valid ? "yes" : "no: " + verdict.reason);
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
  auto image = std::make_shared<std::string>();
  CLI::App* info = app.add_subcommand(
      "image-info", "Print the header, index size, point range and verdict of an image");
  info->add_option("image", *image, "database image")->required();
  info->callback([image, &exit_status] { exit_status = RunImageInfo(*image); });

  auto args = std::make_shared<BuildArgs>();
  CLI::App* build = app.add_subcommand("build-image", "Build a database image from a camera list");
  build->add_option("cameras", args->cameras, "camera CSV")->required();
  build->add_option("output", args->output, "image to write")->required();
  AddDecimal(build, "--cell-km", &args->cell_km, "cell size in km: 1, 2, 3, 5 or 10 (default 5)",
             CellSizes());
  AddDecimal(build, "--capacity", &args->capacity,
             "device flash size in bytes, 1 to 4294967295 (default 2097152)",
             DecimalRange(1, 4294967295));
  build->callback([args, &exit_status] { exit_status = RunBuildImage(*args); });
}

}  // namespace tessor::cli
