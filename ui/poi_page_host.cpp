#include "ui/poi_page_host.h"

#include "engine/device_engine.h"
#include "ui/data_downloader.h"
#include "ui/dlg_connection.h"

namespace tessor {

namespace {
CDataDownloader* MainOf(QWidget* page) {
  return qobject_cast<CDataDownloader*>(page->window());
}
}  // namespace

PoiPageHost DefaultPoiPageHost(QWidget* page) {
  PoiPageHost host;
  host.connected = [page] {
    CDataDownloader* main = MainOf(page);
    return main != nullptr && main->connected != 0;
  };
  host.operation_running = [page] {
    CDataDownloader* main = MainOf(page);
    return main != nullptr && main->operationRunning != 0;
  };
  host.poi_allowed = [page] {
    CDataDownloader* main = MainOf(page);
    return main != nullptr && main->connection_page() != nullptr &&
           main->connection_page()->poi_allowed();
  };
  host.coverage = [page] {
    CDataDownloader* main = MainOf(page);
    return main != nullptr ? main->engine().device_summary().coverage : DatabaseCoverage{};
  };
  host.set_pois_saved = [page](bool saved) {
    if (CDataDownloader* main = MainOf(page)) main->poisSaved = saved ? 1 : 0;
  };
  return host;
}

}  // namespace tessor
