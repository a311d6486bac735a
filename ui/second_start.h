#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace tessor {

// A second start asks the first to come to the front, then opens its own
// window all the same. The first listens on a per-user local socket.
class SecondStart : public QObject {
  Q_OBJECT

 public:
  explicit SecondStart(const QString& name, QObject* parent = nullptr);

  // Asks a running first instance to come forward; true when one answered.
  bool AskFirstToFront();
  // Becomes the instance that later starts ask; false when another one is.
  bool Listen();

  static QString NameFor(const QString& title);

 signals:
  void frontRequested();

 private:
  QString name_;
  QLocalServer* server_ = nullptr;
};

}  // namespace tessor
