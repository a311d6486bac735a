#include "ui/poi_list_editor.h"

#include <QEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableWidget>
#include <cmath>
#include <optional>

#include "database/number_text.h"
#include "poi/poi_rules.h"
#include "ui/comment_text.h"

namespace tessor {

namespace {
// The speed a text stands for: its leading decimal number ("12abc" is 12,
// "abc" is 0), read with a decimal point whatever the locale.
float SpeedOf(const QString& text) {
  const std::optional<double> number = LeadingNumber(text.toLatin1().constData());
  return number ? static_cast<float>(*number) : 0.0f;
}

// The stored value is the one judged, so no NaN, no 300.5 and no 1e9 gets in.
bool SpeedAllowed(float speed, int limit) {
  return std::isfinite(speed) && (speed == -1.0f || (speed >= 0.0f && speed <= limit));
}

bool RejectionText(const QString& text) {
  return text == kStatusSpeed || text == kStatusCommentTooLong;
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
    if (text.isEmpty()) {
      committing_ = false;
      return;
    }
    if (SpeedAllowed(SpeedOf(text), kSpeedLimit)) {
      Accept();
    } else {
      Reject(kStatusSpeed);
    }
  } else if (column_ == kColumnComments) {
    // The limit is the stored bytes, not the characters typed.
    if (CommentBytes(text).size() > size_t{kCommentLimit}) {
      Reject(kStatusCommentTooLong);
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
  const QString text = editor_->text();
  if (QTableWidgetItem* cell = list_->item(row_, column_)) cell->setText(text);
  // Only the edited cell is stored, and only when its text changed: the other
  // column keeps the entry's exact speed and comment bytes.
  if (text != start_text_) Store(static_cast<size_t>(row_), text);
  editor_->clear();
  list_->verticalScrollBar()->setEnabled(true);
  row_ = column_ = -1;
}

void PoiListEditor::Store(size_t index, const QString& text) {
  if (column_ == kColumnSpeed) SetPoiSpeed(entries_, index, SpeedOf(text));
  if (column_ == kColumnComments) SetPoiComment(entries_, index, CommentBytes(text));
  emit stored();
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
