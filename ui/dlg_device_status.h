#pragma once

#include <QWidget>

namespace tessor {

// The logger status page: flash usage, battery, switches and erase. Built and kept by the main
// window, not shown as a tab.
class CDlgDeviceStatus : public QWidget {
  Q_OBJECT

 public:
  explicit CDlgDeviceStatus(QWidget* parent = nullptr);
};

}  // namespace tessor
