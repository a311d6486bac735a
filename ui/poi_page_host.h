#pragma once

#include <functional>

#include "database/database_image.h"

class QWidget;

namespace tessor {

// What the POI page takes from the program around it: the main window's flags,
// the connection page's POI-allowed state and the engine's database coverage.
struct PoiPageHost {
  std::function<bool()> connected;
  std::function<bool()> operation_running;
  std::function<bool()> poi_allowed;
  std::function<DatabaseCoverage()> coverage;
  std::function<void(bool)> set_pois_saved;
};

// The host of a page kept by the main window: found through the page's window
// at each call, so the page may be built before the window is complete.
PoiPageHost DefaultPoiPageHost(QWidget* page);

}  // namespace tessor
