#pragma once

#include <QWidget>

class QLabel;

namespace tessor {

// The "About" page: the program icon, the program text and the series text.
class CDownloadAbout : public QWidget {
  Q_OBJECT

 public:
  explicit CDownloadAbout(QWidget* parent = nullptr);

  QLabel* icon() const { return icon_; }
  QLabel* program_text() const { return program_text_; }
  QLabel* series_text() const { return series_text_; }
  // The program text: the caption, then two blanks and "V" with the version.
  static QString ProgramText();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* icon_ = nullptr;
  QLabel* program_text_ = nullptr;
  QLabel* series_text_ = nullptr;
};

}  // namespace tessor
