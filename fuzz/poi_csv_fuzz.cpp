// The POI CSV reader over a buffer, then the list rules over what it read.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "poi/poi_file.h"
#include "poi/poi_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first 16 bytes pick the database coverage the list is judged against.
  tessor::DatabaseCoverage coverage;
  if (size >= sizeof coverage) {
    std::memcpy(&coverage, data, sizeof coverage);
    data += sizeof coverage;
    size -= sizeof coverage;
  }
  tessor::CPOIFileProcess reader;
  reader.LoadBuffer(data, size);
  std::vector<tessor::CPOI>* pois = nullptr;
  if (!reader.GetPois(&pois)) return 0;
  std::vector<tessor::CPOI> page_records;
  tessor::PoiList list;
  tessor::BuildPoiList(pois->data(), static_cast<uint32_t>(pois->size()), coverage, page_records,
                       list);
  if (list.size() > tessor::kPoiListCapacity) std::abort();
  if (page_records.size() != pois->size()) std::abort();
  return 0;
}
