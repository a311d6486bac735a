#include "ui/poi_list_editor.h"

#include <QEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableWidget>
#include <cstdlib>

#include "app/shell.h"
#include "poi/poi_rules.h"

namespace tessor {

namespace {
constexpr const char* kCommentTooLong = "exceeded 255 characters";

// Leading digits as an integer ("12abc" is 12, "abc" is 0).
long LeadingInteger(const QString& text) {
  return std::strtol(text.toLatin1().constData(), nullptr, 10);
}

bool RejectionText(const QString& text) {
  return text == kStatusSpeed || text == kCommentTooLong;
}
}  // namespace

PoiListEditor::PoiListEditor(QWidget* page, QTableWidget* list, PoiList& entries)
    : QObject(page), page_(page), list_(list), entries_(entries), editor_(new QLineEdit(page)) {
  editor_->setObjectName("cellEditor");
  editor_->hide();
  editor_->installEventFilter(this);
  connect(editor_, &QLineEdit::returnPressed, this, &PoiListEditor::Commit);
}

bool PoiListEditor::eventFilter(QObject* watched, QEvent* event) {
  if (watched == editor_ && event->type() == QEvent::FocusOut && editor_->isVisible()) Commit();
  return QObject::eventFilter(watched, event);
}

void PoiListEditor::ShowAgain() {
  editor_->show();
  editor_->setFocus();
  editor_->selectAll();
}

void PoiListEditor::Open(int row, int column) {
  if (row < 0 || column < 0) return;
  if (error_) {
    ShowAgain();
    return;
  }
  editor_->hide();
  row_ = row;
  column_ = column;
  page_->update();
  if (column != kColumnSpeed && column != kColumnComments) return;
  QTableWidgetItem* cell = list_->item(row, column);
  start_text_ = cell != nullptr ? cell->text() : QString();
  const QRect rect = list_->visualItemRect(cell);
  const QPoint at = list_->viewport()->mapTo(page_, rect.topLeft());
  editor_->setGeometry(at.x() + 3, at.y(), rect.width() - 3, rect.height());
  editor_->setText(start_text_);
  ShowAgain();
}

void PoiListEditor::DoubleClicked() {
  if (error_) ShowAgain();
}

QString PoiListEditor::StatusText() const {
  const QTableWidgetItem* cell = list_->item(row_, kColumnStatus);
  return cell != nullptr ? cell->text() : QString();
}

void PoiListEditor::SetStatusText(const QString& text) {
  if (QTableWidgetItem* cell = list_->item(row_, kColumnStatus)) cell->setText(text);
}

void PoiListEditor::Commit() {
  if (row_ < 0 || column_ < 0 || committing_) return;
  committing_ = true;
  const QString text = editor_->text();
  if (column_ == kColumnSpeed) {
    const long speed = LeadingInteger(text);
    if (text.isEmpty()) {
      committing_ = false;
      return;
    }
    if (speed == -1 || (speed >= 0 && speed <= kSpeedLimit)) {
      Accept();
    } else {
      Reject(kStatusSpeed);
    }
  } else if (column_ == kColumnComments) {
    if (text.size() > kCommentLimit) {
      Reject(kCommentTooLong);
    } else {
      Accept();
    }
  } else {
    row_ = column_ = -1;
  }
  committing_ = false;
}

void PoiListEditor::Reject(const QString& text) {
  if (!RejectionText(StatusText())) saved_status_ = StatusText();
  SetStatusText(text);
  ShowAgain();
  list_->verticalScrollBar()->setEnabled(false);
  error_ = true;
}

void PoiListEditor::EndError() {
  if (!error_) return;
  error_ = false;
  SetStatusText(saved_status_.isEmpty() ? QString(kStatusOk) : saved_status_);
}

void PoiListEditor::Accept() {
  EndError();
  editor_->hide();
  if (QTableWidgetItem* cell = list_->item(row_, column_)) cell->setText(editor_->text());
  const size_t index = static_cast<size_t>(row_);
  const QTableWidgetItem* speed = list_->item(row_, kColumnSpeed);
  const QTableWidgetItem* comment = list_->item(row_, kColumnComments);
  if (speed != nullptr && comment != nullptr) {
    const float vmax = std::strtof(speed->text().toLatin1().constData(), nullptr);
    SetPoiSpeed(entries_, index, vmax);
    SetPoiComment(entries_, index, ToNarrow(comment->text()).toStdString());
  }
  editor_->clear();
  list_->verticalScrollBar()->setEnabled(true);
  row_ = column_ = -1;
}

// A rejected value that can no longer be committed is dropped, so the list
// does not stay locked: the cell keeps its stored value and its status.
void PoiListEditor::Forget() {
  if (error_ && row_ >= 0 && row_ < list_->rowCount()) EndError();
  error_ = false;
  committing_ = true;
  editor_->hide();
  committing_ = false;
  editor_->clear();
  list_->verticalScrollBar()->setEnabled(true);
  row_ = column_ = -1;
}

void PoiListEditor::PageHidden() {
  if (row_ < 0 || column_ < 0) return;
  if (const QTableWidgetItem* cell = list_->item(row_, column_)) editor_->setText(cell->text());
}

}  // namespace tessor
