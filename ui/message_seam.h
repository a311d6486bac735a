#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

namespace tessor {

// Every message box of the program goes through here: real boxes in the
// program, recorded ones in the tests.
struct MessageRecord {
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::Information;
};

using MessageBoxHandler = std::function<void(QWidget* parent, const MessageRecord& message)>;

// Installs a handler (tests) and returns the previous one; an empty handler
// restores the real boxes.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// Shows a modal box with an OK button. GUI thread only.
void ShowMessage(QWidget* parent, const QString& caption, const QString& text,
                 QMessageBox::Icon icon = QMessageBox::Information);

// Routes the boxes the core raises (from any thread) to the GUI thread.
void InstallCoreMessageHandler();

}  // namespace tessor
