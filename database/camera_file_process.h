#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "database/camera_info.h"
#include "database/file_process.h"

namespace tessor {

// Reads a camera CSV file into camera records, one per CR LF-ended line after
// the header.
class CCameraInfoFileProcess : public CFileProcess {
 public:
  bool ParseLine(const char* line) override;
  bool OpenAndRead(const std::string& path, int access = kAccessRead,
                   int disposition = kOpenExisting) override;
  // Prepares the records as a file read does, so a buffer fills them too.
  bool LoadBuffer(const void* bytes, size_t length) override;
  bool ParseAllLines() override;
  virtual bool GetCameras(std::vector<CCameraInfo>** cameras);

  // Counted in 32 bits: a long list is read whole, not cut at 65536 lines.
  uint32_t record_count() const { return record_count_; }
  uint32_t parsed_count() const { return parsed_count_; }

 protected:
  // Record count from the CR LF pairs; false (no message) when under two.
  bool CountRecords();
  virtual void MakeRecords();
  // Reads the five camera fields into a record; returns the cursor after them.
  static const char* ParseCameraFields(const char* line, CCameraInfo& record);

  std::vector<CCameraInfo> cameras_;
  bool have_cameras_ = false;
  uint32_t parsed_count_ = 0;
  uint32_t record_count_ = 0;
};

}  // namespace tessor
