#pragma once

#include <string>

#include "database/file_process.h"

namespace tessor {

// Exports a binary camera list ("%CDB" after one free byte, then 23-byte
// cameras) as camera CSV, by default "OutPut.csv" in the per-user data folder.
class CBinaryFileProcess : public CFileProcess {
 public:
  bool OpenAndRead(const std::string& path, int access = kAccessRead,
                   int disposition = kOpenExisting) override;
  // Reads the first five bytes of the open file; true for the magic.
  bool CheckHeader() override;

  void set_output_path(const std::string& path) { output_path_ = path; }
  const std::string& output_path() const { return output_path_; }
  // True when the last export failed on the output side, not on its input.
  bool output_failed() const { return output_failed_; }

 private:
  bool ReadRest(std::string& bytes);
  std::string FormatCameras(const std::string& bytes);
  bool WriteExport(const std::string& cameras);

  std::string output_path_;
  bool output_failed_ = false;
};

}  // namespace tessor
