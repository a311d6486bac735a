#include "ui/wait_box.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tessor {

CdlgWaitBox::CdlgWaitBox(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Please Wait");
  setModal(true);
  auto* text = new QLabel("Wait for getting status......", this);
  ok_ = new QPushButton("OK", this);
  cancel_ = new QPushButton("Cancel", this);
  ok_->setVisible(false);
  cancel_->setVisible(false);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text, 0, Qt::AlignCenter);
  resize(280, 140);
  connect(ok_, &QPushButton::clicked, this, &CdlgWaitBox::OkClicked);
}

void CdlgWaitBox::OkClicked() {
  QTimer::singleShot(kOkDelayMs, this, [this] { done(QDialog::Accepted); });
}

// A close request ends the box as OK at once.
void CdlgWaitBox::closeEvent(QCloseEvent* event) {
  QDialog::closeEvent(event);
  done(QDialog::Accepted);
}

// Escape is no way out while the page waits for its answer.
void CdlgWaitBox::reject() {}

}  // namespace tessor
