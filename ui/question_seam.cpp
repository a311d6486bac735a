#include "ui/question_seam.h"

#include <QMessageBox>

namespace tessor {

namespace {
QuestionHandler& Handler() {
  static QuestionHandler handler;
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
  return box.exec() == QMessageBox::Ok;
}

}  // namespace tessor
