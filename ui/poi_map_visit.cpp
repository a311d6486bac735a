// The POI page's visit to the map: the context menu, the map page and the
// position the user brings back.
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTableWidget>
#include <QTemporaryDir>

#include "poi/map_page.h"
#include "poi/poi_rules.h"
#include "ui/googole_map_dlg.h"
#include "ui/poi_list_editor.h"
#include "ui/poi_management_dlg.h"
#include "ui/program_files.h"

namespace tessor {

void CPOIManagementDlg::RightClicked(const QPoint& at) {
  const QModelIndex index = table_->indexAt(at);
  if (editor_->rejected()) {
    editor_->DoubleClicked();
    return;
  }
  if (!index.isValid()) return;
  menu_row_ = index.row();
  if (index.column() != kLatitude && index.column() != kLongitude) return;
  const QRect cell = table_->visualRect(index);
  menu_->popup(table_->viewport()->mapToGlobal(cell.topLeft() + QPoint(3, 2)));
}

// The page lives in a private temporary folder; empty when none can be made.
std::string CPOIManagementDlg::MapPagePath() {
  if (!map_folder_) map_folder_ = std::make_unique<QTemporaryDir>();
  if (!map_folder_->isValid()) return {};
  return QDir(map_folder_->path()).filePath("POI.html").toStdString();
}

void CPOIManagementDlg::GoToMap(int row) {
  if (row < 0 || static_cast<size_t>(row) >= list_.size()) return;
  const std::string path = MapPagePath();
  if (path.empty()) return;
  const CPOI& poi = *list_[static_cast<size_t>(row)];
  const DatabaseCoverage coverage = host_.coverage ? host_.coverage() : DatabaseCoverage{};
  const MapAddresses files =
      map_files_.isEmpty() ? ProgramMapAddresses() : MapAddressesIn(map_files_.toStdString());
  WriteMapPage(path, {poi.latitude * kRadToDeg, poi.longitude * kRadToDeg},
               {coverage.min_latitude * kRadToDeg, coverage.min_longitude * kRadToDeg},
               {coverage.max_latitude * kRadToDeg, coverage.max_longitude * kRadToDeg}, files);
  // The web engine starts only now, with the first visit to the map.
  if (map_ == nullptr) map_ = new CGoogoleMapDlg(this);
  map_->SetPagePath(QString::fromStdString(path));
  map_->exec();
  bool lat_ok = false, lon_ok = false;
  const double latitude = map_->latitude_text().toDouble(&lat_ok);
  const double longitude = map_->longitude_text().toDouble(&lon_ok);
  if (lat_ok && lon_ok) {
    CPOI moved = poi;  // a value out of range keeps the old one, as the list does
    moved.SetLatitude(latitude);
    moved.SetLongitude(longitude);
    const int32_t status =
        IsInsideCoverage(coverage, moved.latitude, moved.longitude) ? Valid : OutOfCoverage;
    SetPoiPosition(list_, static_cast<size_t>(row), status, latitude, longitude);
    unsaved_ = true;
    Refill();
  }
  QFile::remove(QString::fromStdString(path));
}

}  // namespace tessor
