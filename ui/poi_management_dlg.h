#pragma once

#include <QWidget>

namespace tessor {

// The POI management page: the user's POI list and its map. Built and kept by the main window, not
// shown as a tab.
class CPOIManagementDlg : public QWidget {
  Q_OBJECT

 public:
  explicit CPOIManagementDlg(QWidget* parent = nullptr);
};

}  // namespace tessor
