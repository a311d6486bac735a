#pragma once

#include <QObject>
#include <QString>

#include "engine/engine_observer.h"

namespace tessor {

// The engine's observer in the desktop program: every report, from whichever
// engine thread, reaches the GUI thread as a queued signal, in order.
class CEngineBridge : public QObject, public EngineObserver {
  Q_OBJECT

 public:
  explicit CEngineBridge(QObject* parent = nullptr) : QObject(parent) {}

  void OnStatusLine(const std::string& text, bool replace_last) override;
  void OnNotification(int id, int64_t first, int64_t second) override;
  void OnMessageBox(const std::string& caption, const std::string& text) override;
  void OnCloseRequest() override;

 signals:
  void statusLine(const QString& text, bool replace_last);
  void notification(int id, qint64 first, qint64 second);
  void messageBox(const QString& caption, const QString& text);
  void closeRequest();
};

}  // namespace tessor
