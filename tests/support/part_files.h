#pragma once

// Files are written beside their name ("NAME.part" or "NAME.part.<pid>.<n>")
// and renamed once whole; a failed write must leave none of them behind.

#include <filesystem>
#include <string>
#include <system_error>

namespace tessor::test {

inline bool PartFileLeft(const std::string& path) {
  const std::filesystem::path target(path);
  const std::string prefix = target.filename().string() + ".part";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(target.parent_path(), error)) {
    if (entry.path().filename().string().rfind(prefix, 0) == 0) return true;
  }
  return false;
}

}  // namespace tessor::test
