#pragma once

#include <QByteArray>
#include <QString>

class QWidget;

namespace tessor {

// The folder chooser, starting at the user's desktop folder; the chosen folder
// as 8-bit text, empty when cancelled.
QByteArray ChooseFolder(QWidget* owner, const QString& title);

}  // namespace tessor
