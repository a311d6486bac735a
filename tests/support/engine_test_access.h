#pragma once

#include <mutex>
#include <vector>

#include "engine/device_engine.h"

namespace tessor::test {

// Lets a test give the engine a track table no device would report, to see
// how the download copes with it.
struct EngineTestAccess {
  template <typename Edit>
  static void EditTrackTable(CDeviceEngine& engine, Edit edit) {
    std::lock_guard<std::mutex> lock(engine.headers_mutex_);
    edit(engine.track_headers_);
  }
};

}  // namespace tessor::test
