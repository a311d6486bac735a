// Minimising to the notification area and coming back from it.
#include <QEvent>
#include <QSystemTrayIcon>
#include <QTimer>

#include "ui/data_downloader.h"

namespace tessor {

void CDataDownloader::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || !isMinimized()) return;
  // Without a notification area a hidden window could not be found again.
  if (tray_available_) MinimiseToTray();
}

void CDataDownloader::MinimiseToTray() {
  tray_->show();
  // Hiding inside the state change confuses some window managers: do it next.
  QTimer::singleShot(0, this, [this] {
    if (tray_->isVisible()) hide();
  });
}

void CDataDownloader::RestoreFromTray() {
  tray_->hide();
  showMinimized();
  showNormal();
  raise();
  activateWindow();
}

void CDataDownloader::BringToFront() {
  if (tray_->isVisible()) {
    RestoreFromTray();
    return;
  }
  showMinimized();
  showNormal();
  raise();
  activateWindow();
}

}  // namespace tessor
