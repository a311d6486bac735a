#pragma once

#include <string>
#include <vector>

#include "database/camera_file_process.h"
#include "poi/poi.h"

namespace tessor {

// Reads a POI CSV file: the camera fields, then the rest of the line as
// comment; one record per line that holds a usable POI.
class CPOIFileProcess : public CCameraInfoFileProcess {
 public:
  bool ParseLine(const char* line) override;
  bool OpenAndRead(const std::string& path, int access = kAccessRead,
                   int disposition = kOpenExisting) override;
  bool CheckHeader() override;
  virtual bool GetPois(std::vector<CPOI>** pois);

 protected:
  void MakeRecords() override;
  uint32_t RecordsFilled() const override { return static_cast<uint32_t>(pois_.size()); }

 private:
  std::vector<CPOI> pois_;
  bool have_pois_ = false;
};

// "POI/POI.csv" in the per-user data folder; empty when there is none.
std::string PoiFilePath();

// Writes the list last entry first (so a load and a save keep the line
// order), every entry or only the valid ones. The file is replaced only
// once the new one is written whole; failures are shown and give false.
bool WritePoiFile(const std::string& path, const PoiList& list, bool onlyValid);

}  // namespace tessor
