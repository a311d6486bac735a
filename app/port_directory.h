#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/port_scan.h"

class QSettings;

namespace tessor {

// One entry of the port list: "COM<N>", then the device path and a description.
struct PortEntry {
  int number = 0;
  std::string path;
  std::string description;
  std::string Text() const;
};

// The COM numbering: each port's key gets the lowest free number on first sight,
// kept in the settings store, so that a number keeps meaning the same adapter.
class PortDirectory {
 public:
  // Numbers stop at 255: the saved port number is one byte.
  static constexpr int kMaxNumber = 255;

  PortDirectory(QSettings& store, PortRoots roots);

  // Scans the ports, numbers new ones, and returns the list ordered by number.
  std::vector<PortEntry> Refresh();
  // The device path of a number as last listed; empty when unknown. Any thread.
  std::string Resolve(int number) const;

 private:
  void LoadNumbers();
  void SaveNumbers();
  int Assign(const std::string& key);

  QSettings& store_;
  PortRoots roots_;
  std::map<std::string, int> numbers_;
  mutable std::mutex paths_mutex_;
  std::map<int, std::string> paths_;
};

// The number after the first three characters of a port entry ("COM12 ..." -> 12);
// 0 when there is none.
int PortNumberOf(const std::string& entry_text);

}  // namespace tessor
