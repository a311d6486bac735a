#pragma once

#include <QWidget>

namespace tessor {

// The file conversion page: track download into NMEA files and the photo tool hand-off. Built and
// kept by the main window, not shown as a tab.
class CDlgFileConversion : public QWidget {
  Q_OBJECT

 public:
  explicit CDlgFileConversion(QWidget* parent = nullptr);
};

}  // namespace tessor
