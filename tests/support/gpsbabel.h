#pragma once

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace tessor::test {

struct BabelPoint {
  double lat, lon;
};

// Reads an NMEA file with gpsbabel (a reader nobody here wrote) and returns the
// track points it saw; false when gpsbabel could not run.
inline bool ReadWithGpsbabel(const std::string& gpsbabel, const std::string& path,
                             std::vector<BabelPoint>* points) {
  const std::string command = gpsbabel + " -t -i nmea -f '" + path + "' -o unicsv -F - 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  std::string output;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  if (::pclose(pipe) != 0) return false;
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
