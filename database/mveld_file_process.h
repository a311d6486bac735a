#pragma once

#include "database/file_process.h"

namespace tessor {

// Converts a mobile-camera list (longitude, latitude, unused) into camera CSV
// lines in the output buffer.
class CMVELDFileProcess : public CFileProcess {
 public:
  bool ParseLine(const char* line) override;
};

}  // namespace tessor
