#include "ui/dlg_file_conversion.h"

namespace tessor {

CDlgFileConversion::CDlgFileConversion(QWidget* parent) : QWidget(parent) {
  setWindowTitle("File Conversion");
}

}  // namespace tessor
