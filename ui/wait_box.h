#pragma once

#include <QDialog>

class QPushButton;

namespace tessor {

// "Please Wait": shown by a page while it waits for a device answer; the page
// ends it with a close request when the answer has come.
class CdlgWaitBox : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kOkDelayMs = 100;

  explicit CdlgWaitBox(QWidget* parent = nullptr);
  void OkClicked();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace tessor
