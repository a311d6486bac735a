#pragma once

#include <QWidget>

namespace tessor {

// The device configuration page: log type, interval, folders. Built and kept by the main window,
// not shown as a tab.
class CDlgConfig : public QWidget {
  Q_OBJECT

 public:
  explicit CDlgConfig(QWidget* parent = nullptr);
};

}  // namespace tessor
