#include "app/port_directory.h"

#include <QSettings>
#include <QStringList>
#include <algorithm>
#include <cctype>
#include <set>

namespace tessor {

namespace {
constexpr const char* kNumbersValue = "Port Numbers";
}

std::string PortEntry::Text() const {
  return "COM" + std::to_string(number) + "  " + path + "  " + description;
}

int PortNumberOf(const std::string& text) {
  if (text.size() <= 3) return 0;
  int n = 0;
  for (size_t i = 3; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    n = n * 10 + (text[i] - '0');
    if (n > PortDirectory::kMaxNumber) return 0;
  }
  return n;
}

PortDirectory::PortDirectory(QSettings& store, PortRoots roots)
    : store_(store), roots_(std::move(roots)) {
  LoadNumbers();
}

// Kept as "N<tab>key" lines: keys are paths, which the store would read as groups.
void PortDirectory::LoadNumbers() {
  numbers_.clear();
  for (const QString& line : store_.value(kNumbersValue).toStringList()) {
    const qsizetype tab = line.indexOf('\t');
    if (tab <= 0) continue;
    bool ok = false;
    const int n = line.left(tab).toInt(&ok);
    if (ok && n >= 1 && n <= kMaxNumber) numbers_[line.mid(tab + 1).toStdString()] = n;
  }
}

void PortDirectory::SaveNumbers() {
  QStringList lines;
  for (const auto& [key, n] : numbers_) {
    lines << QString::number(n) + '\t' + QString::fromStdString(key);
  }
  store_.setValue(kNumbersValue, lines);
  store_.sync();
}

int PortDirectory::Assign(const std::string& key) {
  const auto known = numbers_.find(key);
  if (known != numbers_.end()) return known->second;
  std::set<int> used;
  for (const auto& [k, n] : numbers_) used.insert(n);
  for (int n = 1; n <= kMaxNumber; ++n) {
    if (!used.count(n)) return numbers_[key] = n;
  }
  return 0;
}

std::vector<PortEntry> PortDirectory::Refresh() {
  const std::vector<FoundPort> found = FindPorts(roots_);
  // A simulator's link lives as long as the simulator; once it is gone its number
  // is free again, or every demo run would take a new one.
  const std::string prefix = roots_.user_ports.empty() ? std::string() : roots_.user_ports + "/";
  std::erase_if(numbers_, [&](const auto& item) {
    if (prefix.empty() || item.first.rfind(prefix, 0) != 0) return false;
    return std::none_of(found.begin(), found.end(),
                        [&](const FoundPort& p) { return p.key == item.first; });
  });
  std::vector<PortEntry> entries;
  for (const FoundPort& port : found) {
    const int n = Assign(port.key);
    if (n > 0) entries.push_back({n, port.path, port.description});
  }
  SaveNumbers();
  std::sort(entries.begin(), entries.end(),
            [](const PortEntry& a, const PortEntry& b) { return a.number < b.number; });
  std::lock_guard<std::mutex> lock(paths_mutex_);
  paths_.clear();
  for (const PortEntry& e : entries) paths_[e.number] = e.path;
  return entries;
}

std::string PortDirectory::Resolve(int number) const {
  std::lock_guard<std::mutex> lock(paths_mutex_);
  const auto it = paths_.find(number);
  return it == paths_.end() ? std::string() : it->second;
}

}  // namespace tessor
