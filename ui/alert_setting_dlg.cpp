#include "ui/alert_setting_dlg.h"

namespace tessor {

CAlertSettingDlg::CAlertSettingDlg(QWidget* parent) : QWidget(parent) {
  setWindowTitle("Alert Setting");
}

}  // namespace tessor
