#include "ui/question_seam.h"

#include <QMessageBox>

namespace tessor {

namespace {
QuestionHandler& Handler() {
  static QuestionHandler handler;
  return handler;
}

UnsavedHandler& Unsaved() {
  static UnsavedHandler handler;
  return handler;
}
}  // namespace

QuestionHandler SetQuestionHandler(QuestionHandler handler) {
  QuestionHandler previous = std::move(Handler());
  Handler() = std::move(handler);
  return previous;
}

bool AskOkCancel(QWidget* parent, const QString& caption, const QString& text) {
  if (Handler()) return Handler()(parent, text);
  QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                  parent);
  box.setDefaultButton(QMessageBox::Cancel);
  box.setEscapeButton(QMessageBox::Cancel);
  return box.exec() == QMessageBox::Ok;
}

UnsavedHandler SetUnsavedHandler(UnsavedHandler handler) {
  UnsavedHandler previous = std::move(Unsaved());
  Unsaved() = std::move(handler);
  return previous;
}

UnsavedChoice AskAboutUnsaved(QWidget* parent, const QString& caption, const QString& text) {
  if (Unsaved()) return Unsaved()(parent, text);
  QMessageBox box(QMessageBox::Question, caption, text,
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
  box.setDefaultButton(QMessageBox::Save);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Save:
      return UnsavedChoice::kSave;
    case QMessageBox::Discard:
      return UnsavedChoice::kDiscard;
    default:
      return UnsavedChoice::kCancel;
  }
}

}  // namespace tessor
