#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "database/camera_info.h"
#include "database/file_process.h"

namespace tessor {

// Reads a camera CSV file into camera records, one per line after the header
// that holds a usable camera. Blank lines are passed over; lines without a
// position, or with a number that is not finite, are refused and reported.
class CCameraInfoFileProcess : public CFileProcess {
 public:
  bool ParseLine(const char* line) override;
  bool OpenAndRead(const std::string& path, int access = kAccessRead,
                   int disposition = kOpenExisting) override;
  // Prepares the records as a file read does, so a buffer fills them too.
  bool LoadBuffer(const void* bytes, size_t length) override;
  bool ParseAllLines() override;
  virtual bool GetCameras(std::vector<CCameraInfo>** cameras);

  // The records the lines filled, counted in 32 bits: a long list is read
  // whole, not cut at 65536 lines.
  uint32_t record_count() const { return record_count_; }
  uint32_t parsed_count() const { return parsed_count_; }

 protected:
  // Room for a record per line after the header; false (no message) when the
  // data holds no such line.
  bool CountRecords();
  // Empties the records, keeping room for record_count_ of them.
  virtual void MakeRecords();
  // Reads the five camera fields into record; false when the line holds no
  // latitude and longitude or a number that is not finite. *rest becomes the
  // cursor after the fields.
  static bool ParseCameraFields(const char* line, CCameraInfo& record, const char** rest = nullptr);
  // Once the lines are read: the count becomes the number of records filled.
  virtual uint32_t RecordsFilled() const { return static_cast<uint32_t>(cameras_.size()); }

  std::vector<CCameraInfo> cameras_;
  bool have_cameras_ = false;
  uint32_t parsed_count_ = 0;
  uint32_t record_count_ = 0;
};

}  // namespace tessor
