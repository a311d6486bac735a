#include "ui/second_start.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

namespace tessor {

namespace {
constexpr int kAnswerWaitMs = 1000;
constexpr const char* kFrontRequest = "front\n";
}  // namespace

SecondStart::SecondStart(const QString& name, QObject* parent) : QObject(parent), name_(name) {}

QString SecondStart::NameFor(const QString& title) {
  const QByteArray hash = QCryptographicHash::hash(title.toUtf8(), QCryptographicHash::Sha1);
  return QString("tessor-%1-%2").arg(getuid()).arg(QString::fromLatin1(hash.toHex().left(12)));
}

bool SecondStart::AskFirstToFront() {
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (!socket.waitForConnected(kAnswerWaitMs)) return false;
  socket.write(kFrontRequest);
  socket.waitForBytesWritten(kAnswerWaitMs);
  socket.disconnectFromServer();
  return true;
}

bool SecondStart::Listen() {
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(name_)) {
    // Nobody answered the ask: what is left is a crashed start's socket.
    if (server_->serverError() != QAbstractSocket::AddressInUseError) return false;
    QLocalSocket probe;
    probe.connectToServer(name_);
    if (probe.waitForConnected(kAnswerWaitMs)) return false;
    QLocalServer::removeServer(name_);
    if (!server_->listen(name_)) return false;
  }
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* client = server_->nextPendingConnection()) {
      connect(client, &QLocalSocket::readyRead, this, [this, client] {
        if (client->readAll().contains("front")) emit frontRequested();
      });
      connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
    }
  });
  return true;
}

}  // namespace tessor
