#pragma once

#include <QWidget>

namespace tessor {

// The alert settings page: the detector's critical and notification ranges. Built and kept by the
// main window, not shown as a tab.
class CAlertSettingDlg : public QWidget {
  Q_OBJECT

 public:
  explicit CAlertSettingDlg(QWidget* parent = nullptr);
};

}  // namespace tessor
