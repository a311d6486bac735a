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

// True when the user chose OK. The questions guard what cannot be undone, so
// Cancel is the default button: Enter alone never confirms. GUI thread only.
bool AskOkCancel(QWidget* parent, const QString& caption, const QString& text);

// What to do with edits not yet saved, before something would drop them.
enum class UnsavedChoice { kSave, kDiscard, kCancel };
using UnsavedHandler = std::function<UnsavedChoice(QWidget* parent, const QString& text)>;

// Installs a handler and returns the previous one; an empty handler restores the real box.
UnsavedHandler SetUnsavedHandler(UnsavedHandler handler);

// Save, Discard or Cancel; Save is the default and Escape cancels. GUI thread only.
UnsavedChoice AskAboutUnsaved(QWidget* parent, const QString& caption, const QString& text);

}  // namespace tessor
