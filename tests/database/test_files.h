#pragma once

// Helpers shared by the data-side suites: temporary folders, whole files, the
// Toronto camera positions and a message recorder.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "database/message_seam.h"

namespace tessor::test {

// A fresh folder under the system's temporary folder, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessor-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Records every message box while alive; restores the previous handler.
class MessageRecorder {
 public:
  MessageRecorder() {
    previous_ = SetMessageHandler([this](const std::string& caption, const std::string& text) {
      messages_.push_back(caption + "|" + text);
    });
  }
  ~MessageRecorder() { SetMessageHandler(std::move(previous_)); }
  const std::vector<std::string>& messages() const { return messages_; }

 private:
  MessageHandler previous_;
  std::vector<std::string> messages_;
};

struct Position {
  double latitude;
  double longitude;
};

// The Latitude and Longitude columns of the Toronto list (last two columns).
inline std::vector<Position> TorontoPositions() {
  std::ifstream in(TESSOR_TORONTO_CSV);
  std::vector<Position> positions;
  std::string line;
  std::getline(in, line);  // the heading
  while (std::getline(in, line)) {
    const size_t last = line.rfind(',');
    const size_t before = line.rfind(',', last - 1);
    if (last == std::string::npos || before == std::string::npos) continue;
    positions.push_back(
        {std::stod(line.substr(before + 1, last - before - 1)), std::stod(line.substr(last + 1))});
  }
  return positions;
}

// A camera CSV with CR LF line ends: direction, vmax and type from the row.
inline std::string TorontoCameraCsv(const std::vector<Position>& positions) {
  std::string text = "Latitude,Longitude,direction,vmax,Type\r\n";
  char line[128];
  for (size_t i = 0; i < positions.size(); ++i) {
    std::snprintf(line, sizeof line, "%.8f,%.8f,%zu,%d,%zu\r\n", positions[i].latitude,
                  positions[i].longitude, i % 361, 30 + static_cast<int>(i % 5) * 10, i % 4);
    text += line;
  }
  return text;
}

}  // namespace tessor::test
