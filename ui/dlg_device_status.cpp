#include "ui/dlg_device_status.h"

namespace tessor {

CDlgDeviceStatus::CDlgDeviceStatus(QWidget* parent) : QWidget(parent) {
  setWindowTitle("Data Log Status");
}

}  // namespace tessor
