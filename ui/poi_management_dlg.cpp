#include "ui/poi_management_dlg.h"

namespace tessor {

CPOIManagementDlg::CPOIManagementDlg(QWidget* parent) : QWidget(parent) {
  setWindowTitle("POI Management");
}

}  // namespace tessor
