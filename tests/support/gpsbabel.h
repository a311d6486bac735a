#pragma once

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace tessor::test {

struct BabelPoint {
  double lat, lon;
};

// gpsbabel's unicsv text of a file's tracks (format as gpsbabel names it:
// nmea, gpx, kml); false when gpsbabel could not run or read the file.
inline bool UnicsvWithGpsbabel(const std::string& gpsbabel, const std::string& format,
                               const std::string& path, std::string* output) {
  const std::string command =
      gpsbabel + " -t -i " + format + " -f '" + path + "' -o unicsv,utc=0 -F - 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  output->clear();
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, n);
  return ::pclose(pipe) == 0;
}

// The named columns of gpsbabel's unicsv rows, each row's values joined by
// commas in the order asked; false when a column is missing.
inline bool UnicsvColumns(const std::string& unicsv, const std::vector<std::string>& columns,
                          std::vector<std::string>* rows) {
  std::istringstream lines(unicsv);
  std::string line;
  const auto next = [&] {
    if (!std::getline(lines, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();  // gpsbabel ends lines with CR LF
    return true;
  };
  next();
  std::vector<std::string> header;
  std::istringstream names(line);
  for (std::string name; std::getline(names, name, ',');) header.push_back(name);
  std::vector<size_t> at;
  for (const std::string& c : columns) {
    size_t i = 0;
    while (i < header.size() && header[i] != c) ++i;
    if (i == header.size()) return false;
    at.push_back(i);
  }
  while (next()) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, ',');) fields.push_back(cell);
    std::string row;
    for (const size_t i : at)
      row += (row.empty() ? "" : ",") + (i < fields.size() ? fields[i] : "");
    rows->push_back(row);
  }
  return true;
}

// Reads an NMEA file with gpsbabel (a reader nobody here wrote) and returns the
// track points it saw; false when gpsbabel could not run.
inline bool ReadWithGpsbabel(const std::string& gpsbabel, const std::string& path,
                             std::vector<BabelPoint>* points) {
  std::string output;
  if (!UnicsvWithGpsbabel(gpsbabel, "nmea", path, &output)) return false;
  std::istringstream lines(output);
  std::string line;
  std::getline(lines, line);  // the header names the columns
  if (line.find("Latitude") == std::string::npos) return false;
  while (std::getline(lines, line)) {
    BabelPoint p;
    if (std::sscanf(line.c_str(), "%*d,%lf,%lf", &p.lat, &p.lon) == 2) points->push_back(p);
  }
  return true;
}

}  // namespace tessor::test
