#pragma once

#include <QByteArray>
#include <QString>

class QWidget;

namespace tessor {

// Where the folder chooser starts: the current folder when it exists, else the
// per-user data folder, else the home folder. Never a folder that is not there.
QString ChooserStartFolder(const QByteArray& current);

// The folder chooser, starting where the user's files are (ChooserStartFolder
// of current); the chosen folder as 8-bit text, empty when cancelled.
QByteArray ChooseFolder(QWidget* owner, const QString& title, const QByteArray& current = {});

}  // namespace tessor
