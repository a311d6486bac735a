#include "poi/poi_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "database/data_folder.h"
#include "database/file_io.h"
#include "database/message_seam.h"
#include "database/number_text.h"
#include "engine/string_table.h"

namespace tessor {

bool CPOIFileProcess::ParseLine(const char* line) {
  if (line == nullptr) return false;
  CPOI poi;
  const char* rest = nullptr;
  if (!ParseCameraFields(line, poi, &rest)) {
    RefuseLine();
    return true;
  }
  poi.SetComment(rest == nullptr ? "" : rest);
  pois_.push_back(poi);
  ++parsed_count_;
  return true;
}

bool CPOIFileProcess::OpenAndRead(const std::string& path, int access, int disposition) {
  caption_ = LoadString(kStrCaption);
  return CCameraInfoFileProcess::OpenAndRead(path, access, disposition);
}

bool CPOIFileProcess::CheckHeader() {
  if (DataContains(kPoiHeader)) return true;
  ShowMessageBox(caption_, kPoiFormatMessage);
  return false;
}

void CPOIFileProcess::MakeRecords() {
  pois_.clear();
  pois_.reserve(record_count_);
  have_pois_ = true;
  parsed_count_ = 0;
}

bool CPOIFileProcess::GetPois(std::vector<CPOI>** pois) {
  if (pois == nullptr || !have_pois_) return false;
  *pois = &pois_;
  return true;
}

std::string PoiFilePath() {
  const std::string folder = DataFolder();
  if (folder.empty() || !MakeFolders(folder + "/POI")) return {};
  return folder + "/POI/POI.csv";
}

namespace {
// A CR or LF inside a comment would split the line it is written on.
std::string CommentForFile(std::string_view comment) {
  std::string text(TruncateUtf8(comment, kCommentBytes));
  std::replace(text.begin(), text.end(), '\r', ' ');
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

std::string FormatPoiFile(const PoiList& list, bool onlyValid) {
  std::string text = std::string(kPoiHeader) + "\r\n";
  const size_t n = std::min(list.size(), kPoiListCapacity);
  for (size_t i = n; i-- > 0;) {
    const CPOI& poi = *list[i];
    if (onlyValid && poi.status != Valid) continue;
    text += FormatNumbers("%f,%f,%d,%f,%d,", poi.latitude * kRadToDeg, poi.longitude * kRadToDeg,
                          poi.direction, poi.vmax, poi.type) +
            CommentForFile(poi.comment()) + "\r\n";
  }
  return text;
}

}  // namespace

bool WritePoiFile(const std::string& path, const PoiList& list, bool onlyValid) {
  if (path.empty()) return false;
  // Whole or not at all, through a link to its file, and a pipe or device in place.
  if (WriteFileWhole(path, FormatPoiFile(list, onlyValid))) return true;
  ShowSystemError(errno);
  return false;
}

}  // namespace tessor
