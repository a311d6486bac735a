// The mobile-camera list converter over a buffer.
#include <cstdint>
#include <cstdlib>

#include "database/mveld_file_process.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tessor::CMVELDFileProcess converter;
  converter.LoadBuffer(data, size);
  // Every converted line is whole: the output ends with its CR LF.
  const std::string& out = converter.output();
  if (!out.empty() && out.substr(out.size() - 2) != "\r\n") std::abort();
  return 0;
}
