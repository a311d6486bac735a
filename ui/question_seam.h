#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace tessor {

// OK/Cancel questions go through here: a real box in the program, an answer
// given by the test in the tests.
using QuestionHandler = std::function<bool(QWidget* parent, const QString& text)>;

// Installs a handler and returns the previous one; an empty handler restores the real box.
QuestionHandler SetQuestionHandler(QuestionHandler handler);

// True when the user chose OK. GUI thread only.
bool AskOkCancel(QWidget* parent, const QString& caption, const QString& text);

}  // namespace tessor
