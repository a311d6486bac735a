#include "ui/dlg_config.h"

namespace tessor {

CDlgConfig::CDlgConfig(QWidget* parent) : QWidget(parent) {
  setWindowTitle("Device Configuration");
}

}  // namespace tessor
