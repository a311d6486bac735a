// The camera CSV reader over a buffer.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "database/camera_file_process.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tessor::CCameraInfoFileProcess reader;
  reader.LoadBuffer(data, size);
  std::vector<tessor::CCameraInfo>* cameras = nullptr;
  if (reader.GetCameras(&cameras)) {
    // Never more records than the CR LF pairs counted.
    if (cameras->size() != reader.record_count()) std::abort();
    if (reader.parsed_count() > reader.record_count()) std::abort();
  }
  return 0;
}
