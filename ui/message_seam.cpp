#include "ui/message_seam.h"

#include <QCoreApplication>
#include <QPointer>

#include "app/shell.h"
#include "database/message_seam.h"

namespace tessor {

namespace {
MessageBoxHandler& Handler() {
  static MessageBoxHandler handler;
  return handler;
}
}  // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  MessageBoxHandler previous = std::move(Handler());
  Handler() = std::move(handler);
  return previous;
}

void ShowMessage(QWidget* parent, const QString& caption, const QString& text,
                 QMessageBox::Icon icon) {
  const MessageRecord message{caption, text, icon};
  if (Handler()) {
    Handler()(parent, message);
    return;
  }
  QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
  box.exec();
}

void InstallCoreMessageHandler() {
  SetMessageHandler([](const std::string& caption, const std::string& text) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return;
    QMetaObject::invokeMethod(
        app, [c = ToWide(caption), t = ToWide(text)] { ShowMessage(nullptr, c, t); },
        Qt::QueuedConnection);
  });
}

}  // namespace tessor
